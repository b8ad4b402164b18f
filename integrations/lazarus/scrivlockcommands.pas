{ Uncomment and Re-Comment on the IDE's own buffers: the unit is read from and
  written to its source editor (so Undo works and the editor marks it
  modified), and the commenting module is a unit of the project made through
  the IDE. The work itself is the core library's (ScrivlockCore). }
unit ScrivlockCommands;

{$mode objfpc}{$H+}

interface

uses
  Classes, SysUtils;

type
  // What a command came to; Message is for the user ('' when there is
  // nothing to say).
  TCommandOutcome = record
    Done: Boolean;
    Message: string;
  end;

// Loads the core library once; False with Error when it cannot be had.
function EnsureCore(out Error: string): Boolean;
// The full file names of the active project's Pascal units (.pas, .pp), the
// main source left out; none without a project.
procedure ProjectUnitFiles(List: TStrings);
// The file name of the unit in the active source editor, or ''.
function ActiveUnitFile: string;
// FileName as seen from the active project's folder (the full name when it
// lies elsewhere or there is no project).
function ProjectRelativeName(const FileName: string): string;

function UncommentUnit(const UnitFile: string): TCommandOutcome;
function RecommentUnit(const UnitFile: string): TCommandOutcome;

implementation

uses
  Controls, LazFileUtils, LazIDEIntf, ProjectIntf, SrcEditorIntf, SynEdit, SynEditTypes,
  ScrivlockCore;

// The messages about the unit and its module are the core's (CoreMessage), as
// every host shows them; these few are about Lazarus itself.
resourcestring
  SCoreMissing = 'The Scrivlock core library could not be loaded: %s.' + LineEnding +
    'Install libscrivlock-core.so where the system''s loader finds it, or name it in ' +
    'the environment variable SCRIVLOCK_CORE, and restart Lazarus.';
  SNoProject = 'There is no project open.';
  SNotSaved = 'Unit %s has not been saved yet. Save it first.';
  SNoEditor = 'Unit %s could not be opened in the source editor.';
  SNotSavedAfter = 'Unit %s was restored in the editor but could not be saved; its ' +
    'commenting module %s was kept. Save the unit, then remove the module from the project.';
  SNotDeleted = 'Unit %s is restored and saved; its commenting module %s could not be deleted.';
  SNotGivenBack = 'The editor could not be given back the text of unit %s. Close it without ' +
    'saving and open the file again; its comments are in %s.';

function Outcome(Done: Boolean; const Message: string): TCommandOutcome;
begin
  Result.Done := Done;
  Result.Message := Message;
end;

function EnsureCore(out Error: string): Boolean;
begin
  Result := LoadScrivlockCore('', Error);
  if not Result then
    Error := Format(SCoreMissing, [Error]);
end;

function IsPascalUnit(const FileName: string): Boolean;
var
  Ext: string;
begin
  Ext := LowerCase(ExtractFileExt(FileName));
  Result := (Ext = '.pas') or (Ext = '.pp');
end;

procedure ProjectUnitFiles(List: TStrings);
var
  Project: TLazProject;
  I: Integer;
  F: TLazProjectFile;
begin
  List.Clear;
  if LazarusIDE = nil then
    Exit;
  Project := LazarusIDE.ActiveProject;
  if Project = nil then
    Exit;
  for I := 0 to Project.FileCount - 1 do
  begin
    F := Project.Files[I];
    if F.IsPartOfProject and (F <> Project.MainFile) and IsPascalUnit(F.Filename) then
      List.Add(F.Filename);
  end;
end;

function ActiveUnitFile: string;
begin
  Result := '';
  if (SourceEditorManagerIntf <> nil) and (SourceEditorManagerIntf.ActiveEditor <> nil) then
    Result := SourceEditorManagerIntf.ActiveEditor.FileName;
end;

function ProjectRelativeName(const FileName: string): string;
var
  Folder: string;
begin
  Result := FileName;
  if (LazarusIDE = nil) or (LazarusIDE.ActiveProject = nil) then
    Exit;
  Folder := ExtractFilePath(LazarusIDE.ActiveProject.ProjectInfoFile);
  if (Folder <> '') and FileIsInPath(FileName, Folder) then
    Result := CreateRelativePath(FileName, Folder);
end;

// The editor of FileName, opened when it is not.
function EditorOf(const FileName: string): TSourceEditorInterface;
begin
  Result := SourceEditorManagerIntf.SourceEditorIntfWithFilename(FileName);
  if Result = nil then
  begin
    if LazarusIDE.DoOpenEditorFile(FileName, -1, -1, [ofOnlyIfExists, ofRegularFile]) <> mrOk then
      Exit(nil);
    Result := SourceEditorManagerIntf.SourceEditorIntfWithFilename(FileName);
  end;
end;

// The editor's text. The editor holds lines and gives each one a line break
// when its text is read, the last one too; that last break is the editor's
// own (it writes the file's back when saving), so it is left out here, and
// the text then goes back into the editor as it came out.
function EditorText(Editor: TSourceEditorInterface): RawByteString;
begin
  Result := Editor.SourceText;
  if (Length(Result) > 0) and (Result[Length(Result)] = #10) then
    SetLength(Result, Length(Result) - 1);
  if (Length(Result) > 0) and (Result[Length(Result)] = #13) then
    SetLength(Result, Length(Result) - 1);
end;

// The text of FileName as the IDE holds it: its editor's when it is open,
// else the file's.
function TextOf(const FileName: string; out Text: RawByteString): Boolean;
var
  Editor: TSourceEditorInterface;
  Stream: TFileStream;
begin
  Text := '';
  Editor := SourceEditorManagerIntf.SourceEditorIntfWithFilename(FileName);
  if Editor <> nil then
  begin
    Text := EditorText(Editor);
    Exit(True);
  end;
  try
    Stream := TFileStream.Create(FileName, fmOpenRead or fmShareDenyNone);
    try
      SetLength(Text, Stream.Size);
      if Stream.Size > 0 then
        Stream.ReadBuffer(Text[1], Stream.Size);
    finally
      Stream.Free;
    end;
    Result := True;
  except
    Result := False;
  end;
end;

// The project's units whose text is the commenting module of UnitFile.
procedure FindModules(const UnitFile: string; Modules: TStrings);
var
  Units: TStringList;
  Text: RawByteString;
  I: Integer;
begin
  Modules.Clear;
  Units := TStringList.Create;
  try
    ProjectUnitFiles(Units);
    for I := 0 to Units.Count - 1 do
      if (CompareFilenames(Units[I], UnitFile) <> 0) and TextOf(Units[I], Text) and
        (CoreIsModuleOf(Text, ExtractFileName(UnitFile)) = 1) then
        Modules.Add(Units[I]);
  finally
    Units.Free;
  end;
end;

// Whether the editor holds Text, line for line: the editor keeps lines, not
// line breaks, and the file's own breaks are written back when it is saved.
function Holds(Editor: TSourceEditorInterface; const Text: RawByteString): Boolean;
var
  Wanted, Held: TStringList;
begin
  Wanted := TStringList.Create;
  Held := TStringList.Create;
  try
    Wanted.Text := Text;
    Held.Text := EditorText(Editor);
    Result := Wanted.Equals(Held);
  finally
    Wanted.Free;
    Held.Free;
  end;
end;

// The editor's own text control, when it is the one the IDE normally uses.
function SynEditOf(Editor: TSourceEditorInterface): TCustomSynEdit;
begin
  if Editor.EditorControl is TCustomSynEdit then
    Result := TCustomSynEdit(Editor.EditorControl)
  else
    Result := nil;
end;

// Replaces the editor's whole text as one step of its undo list, byte for
// byte. The editor trims the trailing blanks of every line it is given when
// that option is on, so the option is off while the text goes in; the lines
// the user edits later are trimmed as before.
procedure ReplaceAll(Editor: TSourceEditorInterface; const Text: RawByteString);
var
  Control: TCustomSynEdit;
  Trims: Boolean;
  Last: Integer;
begin
  Control := SynEditOf(Editor);
  Trims := (Control <> nil) and (eoTrimTrailingSpaces in Control.Options);
  if Trims then
    Control.Options := Control.Options - [eoTrimTrailingSpaces];
  try
    Last := Editor.LineCount;
    if Last < 1 then
      Last := 1;
    Editor.ReplaceText(Point(1, 1), Point(Length(Editor.Lines[Last - 1]) + 1, Last), Text);
  finally
    if Trims then
      Control.Options := Control.Options + [eoTrimTrailingSpaces];
  end;
end;

// Takes back a ReplaceAll that left the editor holding something else than it
// was given; True when the editor holds Previous again. An editor that was
// left as it was is not undone, which would take back the user's last edit.
function TakeBack(Editor: TSourceEditorInterface; const Previous: RawByteString): Boolean;
var
  Control: TCustomSynEdit;
begin
  if Holds(Editor, Previous) then
    Exit(True);
  Control := SynEditOf(Editor);
  if Control <> nil then
    Control.Undo;
  if not Holds(Editor, Previous) then
    ReplaceAll(Editor, Previous);
  Result := Holds(Editor, Previous);
end;

// A free unit name and file beside UnitFile, as the IDE names new units.
procedure NewModuleName(const UnitFile: string; out ModuleUnit, ModuleFile: string);
var
  N: Integer;
begin
  N := 1;
  repeat
    ModuleUnit := 'Unit' + IntToStr(N);
    ModuleFile := ExtractFilePath(UnitFile) + LowerCase(ModuleUnit) + '.pas';
    Inc(N);
  until not FileExistsUTF8(ModuleFile) and
    (SourceEditorManagerIntf.SourceEditorIntfWithFilename(ModuleFile) = nil) and
    (LazarusIDE.ActiveProject.FindFile(ModuleFile, [pfsfOnlyProjectFiles]) = nil);
end;

function ProjectMode: string;
begin
  Result := LazarusIDE.ActiveProject.LazCompilerOptions.SyntaxMode;
end;

// The checks both commands start with; '' when the unit can be worked on.
function Precheck(const UnitFile: string; out Editor: TSourceEditorInterface;
  out Text: RawByteString): string;
var
  Error: string;
  Zero: Integer;
begin
  Editor := nil;
  Text := '';
  if not EnsureCore(Error) then
    Exit(Error);
  if (LazarusIDE = nil) or (LazarusIDE.ActiveProject = nil) then
    Exit(SNoProject);
  if not FilenameIsAbsolute(UnitFile) then
    Exit(Format(SNotSaved, [UnitFile]));
  Editor := EditorOf(UnitFile);
  if Editor = nil then
    Exit(Format(SNoEditor, [UnitFile]));
  Text := EditorText(Editor);
  if Text = '' then
    Exit(CoreMessage(smEmptyUnit, UnitFile));
  Zero := Pos(#0, Text);
  if Zero > 0 then
    Exit(CoreMessage(smZeroByte, UnitFile, '', Zero - 1));
  Result := '';
end;

// Message as one about the place of marker {#Entry} in Stripped, the text of
// UnitFile, when it holds that marker (Entry 0 is the module's header).
function AtMarker(const Stripped: RawByteString; const UnitFile: string; Entry: Integer;
  const Message: string): string;
var
  At, I, Line, LineStart: Integer;
begin
  At := 0;
  if Entry > 0 then
    At := Pos('{#' + IntToStr(Entry) + '}', Stripped);
  if At = 0 then
    Exit(Message);
  Line := 1;
  LineStart := 1;
  for I := 1 to At - 1 do
    if Stripped[I] = #10 then
    begin
      Inc(Line);
      LineStart := I + 1;
    end;
  Result := CoreMessageAt(UnitFile, Line, At - LineStart + 1, Message);
end;

function UncommentUnit(const UnitFile: string): TCommandOutcome;
var
  Editor, ModuleEditor: TSourceEditorInterface;
  Text: RawByteString;
  Problem, ModuleUnit, ModuleFile: string;
  Modules: TStringList;
  U: TUncommentOutcome;
  Entry: Integer;
begin
  Problem := Precheck(UnitFile, Editor, Text);
  if Problem <> '' then
    Exit(Outcome(False, Problem));
  Modules := TStringList.Create;
  try
    FindModules(UnitFile, Modules);
    if Modules.Count > 0 then
      Exit(Outcome(False, CoreMessage(smAlreadyUncommented, UnitFile, Modules[0])));
  finally
    Modules.Free;
  end;

  NewModuleName(UnitFile, ModuleUnit, ModuleFile);
  // The project's mode decides where the unit names none; lines are kept so
  // that the compiler's messages point at the unit's own lines.
  U := CoreUncomment(Text, UnitFile, ModuleUnit, sdAuto, ProjectMode, True);
  if U.Code = scRefused then
    Exit(Outcome(False, CoreMessage(smRefused, UnitFile, '', U.Refusal)));
  if U.Code <> scOk then
    Exit(Outcome(False, CoreMessage(smRefused, UnitFile, '', urFailure) + LineEnding +
      U.Message));

  // The module is made, filled and saved before the unit is touched: whatever
  // happens to the unit's buffer afterwards, its comments are on disk.
  if LazarusIDE.DoNewEditorFile(FileDescriptorUnit, ModuleFile, U.Module,
    [nfIsPartOfProject, nfOpenInEditor, nfSave]) <> mrOk then
    Exit(Outcome(False, CoreMessage(smCannotCreateModule, UnitFile)));
  ModuleEditor := SourceEditorManagerIntf.SourceEditorIntfWithFilename(ModuleFile);
  if (ModuleEditor = nil) or not Holds(ModuleEditor, U.Module) or
    ModuleEditor.Modified then
    Exit(Outcome(False, CoreMessage(smCannotFillModule, UnitFile, ModuleFile)));

  ReplaceAll(Editor, U.Stripped);
  if not Holds(Editor, U.Stripped) then
  begin
    if not TakeBack(Editor, Text) then
      Exit(Outcome(False, Format(SNotGivenBack, [UnitFile, ModuleFile])));
    Exit(Outcome(False, CoreMessage(smUnitNotStripped, UnitFile, ModuleFile)));
  end;
  SourceEditorManagerIntf.ActiveEditor := Editor;

  // The module is compiled in the project's mode, which may differ from the
  // unit's.
  if CoreForeseeSkipProblem(U.Module, sdAuto, ProjectMode, Entry) = 1 then
    Exit(Outcome(True, AtMarker(U.Stripped, UnitFile, Entry,
      CoreMessage(smModuleNotSkippable, UnitFile, ModuleFile, Entry))));
  Result := Outcome(True, '');
end;

function RecommentUnit(const UnitFile: string): TCommandOutcome;
var
  Editor: TSourceEditorInterface;
  Stripped, Module: RawByteString;
  Problem, ModuleFile: string;
  Modules: TStringList;
  R: TRecommentOutcome;
  ModuleInProject: TLazProjectFile;
  I: Integer;
begin
  Problem := Precheck(UnitFile, Editor, Stripped);
  if Problem <> '' then
    Exit(Outcome(False, Problem));
  Modules := TStringList.Create;
  try
    FindModules(UnitFile, Modules);
    if Modules.Count > 1 then
      Exit(Outcome(False, CoreMessage(smSeveralModules, UnitFile, '', Modules.Count)));
    if Modules.Count = 0 then
      Exit(Outcome(False, CoreMessage(smNoModule, UnitFile)));
    ModuleFile := Modules[0];
  finally
    Modules.Free;
  end;
  if not TextOf(ModuleFile, Module) then
    Exit(Outcome(False, CoreMessage(smCannotReadModule, UnitFile, ModuleFile)));

  R := CoreRecomment(Stripped, Module);
  if R.Code = scStopped then
  begin
    // The place is the editor's: its text was read line for line from it.
    Editor.CursorTextXY := Point(R.Column, R.Line);
    SourceEditorManagerIntf.ActiveEditor := Editor;
    Exit(Outcome(False, CoreMessageAt(UnitFile, R.Line, R.Column,
      CoreMessage(smRecommentStopped, UnitFile, ModuleFile, 0, R.Description))));
  end;
  if R.Code <> scOk then
    Exit(Outcome(False, CoreMessage(smRecommentStopped, UnitFile, ModuleFile, 0,
      R.Description)));

  ReplaceAll(Editor, R.Restored);
  if not Holds(Editor, R.Restored) then
  begin
    if not TakeBack(Editor, Stripped) then
      Exit(Outcome(False, Format(SNotGivenBack, [UnitFile, ModuleFile])));
    Exit(Outcome(False, CoreMessage(smUnitNotRestored, UnitFile, ModuleFile)));
  end;
  SourceEditorManagerIntf.ActiveEditor := Editor;

  // The module goes only once the restored unit is on disk.
  if LazarusIDE.DoSaveEditorFile(Editor, []) <> mrOk then
    Exit(Outcome(True, Format(SNotSavedAfter, [UnitFile, ModuleFile])));
  if SourceEditorManagerIntf.SourceEditorIntfWithFilename(ModuleFile) <> nil then
    LazarusIDE.DoCloseEditorFile(ModuleFile, [cfQuiet]);
  ModuleInProject := LazarusIDE.ActiveProject.FindFile(ModuleFile, [pfsfOnlyProjectFiles]);
  for I := 0 to LazarusIDE.ActiveProject.FileCount - 1 do
    if LazarusIDE.ActiveProject.Files[I] = ModuleInProject then
    begin
      LazarusIDE.ActiveProject.RemoveUnit(I, True);
      Break;
    end;
  if not DeleteFileUTF8(ModuleFile) then
    Exit(Outcome(True, Format(SNotDeleted, [UnitFile, ModuleFile])));
  Result := Outcome(True, '');
end;

end.
