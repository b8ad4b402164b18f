{ A run of the package's commands inside a real Lazarus, for the tests only:
  when SCRIVLOCK_SELFTEST names a log file, the first idle moment after a
  project is open uncomments its unit Greeter.pas, a unit of tabs and trailing
  blanks and, when there is one, Large.pas; for each it undoes and redoes that
  in the editor, saves it, re-comments it and checks the files on disk. Then it
  writes the outcome to the log and closes Lazarus. Without the variable it
  does nothing. }
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
    procedure RoundTrip(const UnitFile, Comment: string; Timed: Boolean);
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

// Uncomments UnitFile, checks the editor and its Undo and Redo, saves,
// re-comments and checks the files; Comment is a comment's text in the unit,
// or '' where the test knows none.
// Timed units log how long each command took.
procedure TSelfTest.RoundTrip(const UnitFile, Comment: string; Timed: Boolean);
var
  ModuleFile: string;
  Original: RawByteString;
  Outcome: TCommandOutcome;
  Editor: TSourceEditorInterface;
  Synedit: TCustomSynEdit;
  Before, Stripped: string;
  Start: QWord;
  Name: string;
begin
  Name := ExtractFileName(UnitFile);
  ModuleFile := ExtractFilePath(UnitFile) + 'unit1.pas';
  Original := ReadBytes(UnitFile);
  // The editor's text may differ from the file's bytes (line breaks, an
  // encoding it converts), so Undo is checked against the editor's own.
  if LazarusIDE.DoOpenEditorFile(UnitFile, -1, -1, [ofOnlyIfExists, ofRegularFile]) <> mrOk then
  begin
    Check(False, Name + ' opens in the editor');
    Exit;
  end;
  Before := SourceEditorManagerIntf.SourceEditorIntfWithFilename(UnitFile).SourceText;

  Start := GetTickCount64;
  Outcome := UncommentUnit(UnitFile);
  if Timed then
    FLog.Add(Format('time: Uncomment of %s (%d bytes) %d ms',
      [Name, Length(Original), GetTickCount64 - Start]));
  Check(Outcome.Done and (Outcome.Message = ''), Name + ' Uncomment: ' + Outcome.Message);
  Check(FileExists(ModuleFile), Name + ': the module is on disk');
  Check(LazarusIDE.ActiveProject.FindFile(ModuleFile, [pfsfOnlyProjectFiles]) <> nil,
    Name + ': the module is in the project');
  Check(ReadBytes(UnitFile) = Original, Name + ': the unit on disk is untouched until it is saved');
  Editor := SourceEditorManagerIntf.SourceEditorIntfWithFilename(UnitFile);
  Check(Editor <> nil, Name + ' is open');
  if (Editor = nil) or not Outcome.Done then
    Exit;
  Stripped := Editor.SourceText;
  Check(Pos('{#1}', Stripped) > 0, Name + ': the editor holds the markers');
  if Comment <> '' then
    Check(Pos(Comment, Stripped) = 0, Name + ': the editor holds no comment');
  Check(Editor.Modified, Name + ': the editor marks the unit modified');

  Synedit := Editor.EditorControl as TCustomSynEdit;
  Synedit.Undo;
  Check(Editor.SourceText = Before, Name + ': Undo brings the unit back as it was');
  Synedit.Redo;
  Check(Editor.SourceText = Stripped, Name + ': Redo strips it again');

  Check(LazarusIDE.DoSaveEditorFile(Editor, []) = mrOk, Name + ': the stripped unit is saved');
  Check(Pos('{#1}', ReadBytes(UnitFile)) > 0, Name + ': the unit on disk holds the markers');

  Start := GetTickCount64;
  Outcome := RecommentUnit(UnitFile);
  if Timed then
    FLog.Add(Format('time: Re-Comment of %s %d ms', [Name, GetTickCount64 - Start]));
  Check(Outcome.Done and (Outcome.Message = ''), Name + ' Re-Comment: ' + Outcome.Message);
  Check(ReadBytes(UnitFile) = Original, Name + ': the unit on disk is back byte for byte');
  Check(not FileExists(ModuleFile), Name + ': the module file is deleted');
  Check(LazarusIDE.ActiveProject.FindFile(ModuleFile, [pfsfOnlyProjectFiles]) = nil,
    Name + ': the module left the project');
end;

procedure TSelfTest.Run;
const
  // Tabs and trailing blanks, in code and in comments: the editor's own
  // options must not touch them.
  Tabbed = 'unit Tabbed;'#10#10'interface'#10#10'procedure Run;  '#10'{ runs'#9'it   '#10 +
    '  twice }   '#10#10'implementation'#10#10'procedure Run;'#10'begin'#9#10 +
    #9'// nothing yet'#9' '#10'  '#10'end;'#10#10'end.'#10;
var
  Folder: string;
  Stream: TFileStream;
  I: Integer;
begin
  Folder := ExtractFilePath(LazarusIDE.ActiveProject.ProjectInfoFile);
  RoundTrip(Folder + 'Greeter.pas', 'says hello', False);

  Stream := TFileStream.Create(Folder + 'Tabbed.pas', fmCreate);
  try
    Stream.WriteBuffer(Tabbed[1], Length(Tabbed));
  finally
    Stream.Free;
  end;
  RoundTrip(Folder + 'Tabbed.pas', 'nothing yet', False);

  // A large unit of real code, when the test could make one.
  if FileExists(Folder + 'Large.pas') then
    RoundTrip(Folder + 'Large.pas', '', True);

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
