{ A run of the package's commands inside a real Lazarus, for the tests only:
  when SCRIVLOCK_SELFTEST names a log file, the first idle moment after a
  project is open uncomments its unit Greeter.pas, undoes and redoes that in
  the editor, saves it, re-comments it, checks the files on disk, writes the
  outcome to the log and closes Lazarus. Without the variable it does nothing. }
unit ScrivlockSelfTest;

{$mode objfpc}{$H+}

interface

procedure Register;

implementation

uses
  Classes, SysUtils, Forms, Controls, SynEdit, LazIDEIntf, ProjectIntf, SrcEditorIntf,
  ScrivlockCommands;

type
  TSelfTest = class
  private
    FLog: TStringList;
    FLogFile: string;
    FDone: Boolean;
    procedure Idle(Sender: TObject; var Done: Boolean);
    procedure Check(Condition: Boolean; const What: string);
    procedure Run;
  end;

var
  SelfTest: TSelfTest = nil;

function ReadBytes(const FileName: string): RawByteString;
var
  Stream: TFileStream;
begin
  Stream := TFileStream.Create(FileName, fmOpenRead or fmShareDenyNone);
  try
    SetLength(Result, Stream.Size);
    if Stream.Size > 0 then
      Stream.ReadBuffer(Result[1], Stream.Size);
  finally
    Stream.Free;
  end;
end;

procedure TSelfTest.Check(Condition: Boolean; const What: string);
begin
  if Condition then
    FLog.Add('ok: ' + What)
  else
    FLog.Add('FAILED: ' + What);
end;

procedure TSelfTest.Idle(Sender: TObject; var Done: Boolean);
begin
  if FDone or (LazarusIDE = nil) or (LazarusIDE.ActiveProject = nil) or
    (SourceEditorManagerIntf = nil) then
    Exit;
  FDone := True;
  try
    Run;
  except
    on E: Exception do
      FLog.Add('FAILED: ' + E.ClassName + ': ' + E.Message);
  end;
  FLog.SaveToFile(FLogFile);
  LazarusIDE.DoSaveProject([]);
  Application.Terminate;
end;

procedure TSelfTest.Run;
var
  Folder, UnitFile, ModuleFile: string;
  Original: RawByteString;
  Outcome: TCommandOutcome;
  Editor: TSourceEditorInterface;
  Synedit: TCustomSynEdit;
  Stripped: string;
  I: Integer;
begin
  Folder := ExtractFilePath(LazarusIDE.ActiveProject.ProjectInfoFile);
  UnitFile := Folder + 'Greeter.pas';
  ModuleFile := Folder + 'unit1.pas';
  Original := ReadBytes(UnitFile);

  Outcome := UncommentUnit(UnitFile);
  Check(Outcome.Done and (Outcome.Message = ''), 'Uncomment: ' + Outcome.Message);
  Check(FileExists(ModuleFile), 'the module is on disk');
  Check(LazarusIDE.ActiveProject.FindFile(ModuleFile, [pfsfOnlyProjectFiles]) <> nil,
    'the module is in the project');
  Check(ReadBytes(UnitFile) = Original, 'the unit on disk is untouched until it is saved');
  Editor := SourceEditorManagerIntf.SourceEditorIntfWithFilename(UnitFile);
  Check(Editor <> nil, 'the unit is open');
  if Editor = nil then
    Exit;
  Stripped := Editor.SourceText;
  Check(Pos('{#1}', Stripped) > 0, 'the editor holds the markers');
  Check(Pos('says hello', Stripped) = 0, 'the editor holds no comment');
  Check(Editor.Modified, 'the editor marks the unit modified');

  Synedit := Editor.EditorControl as TCustomSynEdit;
  Synedit.Undo;
  Check(Pos('says hello', Editor.SourceText) > 0, 'Undo brings the comments back');
  Synedit.Redo;
  Check(Editor.SourceText = Stripped, 'Redo strips them again');

  Check(LazarusIDE.DoSaveEditorFile(Editor, []) = mrOk, 'the stripped unit is saved');
  Check(Pos('{#1}', ReadBytes(UnitFile)) > 0, 'the unit on disk holds the markers');

  Outcome := RecommentUnit(UnitFile);
  Check(Outcome.Done and (Outcome.Message = ''), 'Re-Comment: ' + Outcome.Message);
  Check(ReadBytes(UnitFile) = Original, 'the unit on disk is back byte for byte');
  Check(not FileExists(ModuleFile), 'the module file is deleted');
  Check(LazarusIDE.ActiveProject.FindFile(ModuleFile, [pfsfOnlyProjectFiles]) = nil,
    'the module left the project');
  for I := 0 to FLog.Count - 1 do
    if Pos('FAILED', FLog[I]) = 1 then
      Exit;
  FLog.Add('selftest passed');
end;

procedure Register;
begin
  if GetEnvironmentVariable('SCRIVLOCK_SELFTEST') = '' then
    Exit;
  SelfTest := TSelfTest.Create;
  SelfTest.FLog := TStringList.Create;
  SelfTest.FLogFile := GetEnvironmentVariable('SCRIVLOCK_SELFTEST');
  Application.AddOnIdleHandler(@SelfTest.Idle);
end;

end.
