{ The binding of libscrivlock-core.so (its header: src/capi/scrivlock.h).
  The library is loaded at run time, so that a program (the IDE among them)
  starts without it and can say what is missing. The records mirror the C
  ones field for field; the console check in tests/integrations runs a round
  trip through them, so a layout that drifts from the header fails there. }
unit ScrivlockCore;

{$mode objfpc}{$H+}
{$PACKRECORDS C}

interface

uses
  ctypes, dynlibs, SysUtils;

const
  ScrivlockApiVersion = 1;
  ScrivlockCoreLibrary = 'libscrivlock-core.so';

  // Return codes.
  scOk = 0;
  scRefused = 1;
  scStopped = 2;
  scErrArgument = -1;
  scErrMemory = -2;
  scErrInternal = -3;

  // Dialects.
  sdDelphi = 0;
  sdFpc = 1;
  sdAuto = 2;

  // Why Uncomment refused (SCRIVLOCK_UR_*).
  urNone = 0;
  urExtension = 1;
  urFileName = 2;
  urNotUncommentable = 3;
  urTooLarge = 4;
  urFailure = 5;

  // Why Re-Comment stopped (SCRIVLOCK_RS_*).
  rsNone = 0;
  rsNoEntries = 1;
  rsMismatch = 2;
  rsNoEntryLeft = 3;
  rsAfterEnd = 4;
  rsWrongEndNumber = 5;
  rsUnknownKind = 6;
  rsUnplacedEntry = 7;
  rsFailure = 8;
  rsDamagedEntry = 9;

  // The messages every host shows (SCRIVLOCK_MSG_*), for CoreMessage.
  smSelectUnit = 1;
  smAlreadyUncommented = 2;
  smCannotRead = 3;
  smRefused = 4;
  smSeveralModules = 5;
  smNoModule = 6;
  smModuleNotSkippable = 7;
  smEmptyUnit = 8;
  smZeroByte = 9;
  smCannotCreateModule = 10;
  smCannotFillModule = 11;
  smUnitNotStripped = 12;
  smUnitNotRestored = 13;
  smCannotReadModule = 14;
  smRecommentStopped = 15;

type
  TScrivlockUncommentResult = record
    Stripped: PChar;
    StrippedSize: csize_t;
    Module: PChar;
    ModuleSize: csize_t;
    Refusal: cint;
    Dialect: cint;
    Message: PChar;
  end;
  PScrivlockUncommentResult = ^TScrivlockUncommentResult;

  TScrivlockRecommentResult = record
    Restored: PChar;
    RestoredSize: csize_t;
    Reason: cint;
    Marker: clong;
    Entry: clong;
    Offset: clong;
    Line: clong;
    Column: clong;
    ModuleOffset: clong;
    Description: PChar;
  end;
  PScrivlockRecommentResult = ^TScrivlockRecommentResult;

  // What the calls below hand back, as Pascal strings.
  TUncommentOutcome = record
    Code: Integer;      // scOk, scRefused or a negative code
    Refusal: Integer;   // ur*, after scRefused
    Dialect: Integer;   // the dialect the unit was read in
    Stripped: RawByteString;
    Module: RawByteString;
    Message: string;    // what failed, after a negative code
  end;

  TRecommentOutcome = record
    Code: Integer;      // scOk, scStopped or a negative code
    Reason: Integer;    // rs*, after scStopped
    Marker, Entry: Integer;
    Offset: Int64;      // the marker's byte offset in the stripped text
    Line, Column: Integer; // its place, 1-based; the column counts bytes
    Restored: RawByteString; // after scStopped: the text before the marker
    Description: string; // a sentence for the user, or what failed
  end;

var
  scrivlock_api_version: function: cint; cdecl;
  scrivlock_version: function: PChar; cdecl;
  scrivlock_uncomment: function(text: PChar; size: csize_t; file_name, module_unit_name: PChar;
    dialect: cint; project_mode: PChar; keep_lines: cint;
    result: PScrivlockUncommentResult): cint; cdecl;
  scrivlock_recomment: function(stripped: PChar; stripped_size: csize_t; module: PChar;
    module_size: csize_t; result: PScrivlockRecommentResult): cint; cdecl;
  scrivlock_is_module_of: function(module: PChar; module_size: csize_t;
    unit_file_name: PChar): cint; cdecl;
  scrivlock_foresee_skip_problem: function(module: PChar; module_size: csize_t; dialect: cint;
    project_mode: PChar; entry: pclong): cint; cdecl;
  scrivlock_free: procedure(pointer: Pointer); cdecl;
  scrivlock_message: function(message: cint; unit_file, module_file: PChar; number: clong;
    detail: PChar): PChar; cdecl;
  scrivlock_message_at: function(file_name: PChar; line, column: clong;
    text: PChar): PChar; cdecl;

{ Loads the library: from FileName when given, else from $SCRIVLOCK_CORE,
  else by name where the system's loader looks. True when it is loaded and
  speaks ScrivlockApiVersion; else False, with Error saying why. Loading again
  when loaded does nothing. }
function LoadScrivlockCore(const FileName: string; out Error: string): Boolean;
function ScrivlockCoreLoaded: Boolean;
procedure UnloadScrivlockCore;

{ The calls, with the library's texts copied into strings and freed. REQUIRE:
  the library is loaded. ProjectMode '' means the project names no mode. }
function CoreUncomment(const Text: RawByteString; const FileName, ModuleUnitName: string;
  Dialect: Integer; const ProjectMode: string; KeepLines: Boolean): TUncommentOutcome;
function CoreRecomment(const Stripped, Module: RawByteString): TRecommentOutcome;
// 1 when Module is the commenting module of the unit file UnitFileName (name
// and extension, no folder; case matters), 0 when not, or a negative code.
function CoreIsModuleOf(const Module: RawByteString; const UnitFileName: string): Integer;
// 1 when the compiler cannot skip Module's body, with Entry the entry that
// causes it; 0 when it can; or a negative code.
function CoreForeseeSkipProblem(const Module: RawByteString; Dialect: Integer;
  const ProjectMode: string; out Entry: Integer): Integer;
// The text of message Id (sm*) that the product's other hosts show, with the
// file names, Number and Detail it takes; its line breaks are LineEnding.
function CoreMessage(Id: Integer; const UnitFile: string; const ModuleFile: string = '';
  Number: Int64 = 0; const Detail: string = ''): string;
// Text as a message about line Line, column Column of FileName, in the form
// of the compiler's messages: "Unit1.pas(12,5) Error: ...".
function CoreMessageAt(const FileName: string; Line, Column: Integer; const Text: string): string;

implementation

var
  CoreHandle: TLibHandle = NilHandle;

function ScrivlockCoreLoaded: Boolean;
begin
  Result := CoreHandle <> NilHandle;
end;

procedure ClearEntries;
begin
  scrivlock_api_version := nil;
  scrivlock_version := nil;
  scrivlock_uncomment := nil;
  scrivlock_recomment := nil;
  scrivlock_is_module_of := nil;
  scrivlock_foresee_skip_problem := nil;
  scrivlock_free := nil;
  scrivlock_message := nil;
  scrivlock_message_at := nil;
end;

procedure UnloadScrivlockCore;
begin
  if CoreHandle <> NilHandle then
    UnloadLibrary(CoreHandle);
  CoreHandle := NilHandle;
  ClearEntries;
end;

function LoadScrivlockCore(const FileName: string; out Error: string): Boolean;
var
  Path: string;
  Handle: TLibHandle;

  function Entry(const Name: string): Pointer;
  begin
    Result := GetProcedureAddress(Handle, Name);
    if (Result = nil) and (Error = '') then
      Error := Path + ' has no function ' + Name;
  end;

begin
  Error := '';
  if CoreHandle <> NilHandle then
    Exit(True);
  Path := FileName;
  if Path = '' then
    Path := GetEnvironmentVariable('SCRIVLOCK_CORE');
  if Path = '' then
    Path := ScrivlockCoreLibrary;
  Handle := LoadLibrary(Path);
  if Handle = NilHandle then
  begin
    Error := 'cannot load ' + Path + ': ' + GetLoadErrorStr;
    Exit(False);
  end;
  Pointer(scrivlock_api_version) := Entry('scrivlock_api_version');
  Pointer(scrivlock_version) := Entry('scrivlock_version');
  Pointer(scrivlock_uncomment) := Entry('scrivlock_uncomment');
  Pointer(scrivlock_recomment) := Entry('scrivlock_recomment');
  Pointer(scrivlock_is_module_of) := Entry('scrivlock_is_module_of');
  Pointer(scrivlock_foresee_skip_problem) := Entry('scrivlock_foresee_skip_problem');
  Pointer(scrivlock_free) := Entry('scrivlock_free');
  Pointer(scrivlock_message) := Entry('scrivlock_message');
  Pointer(scrivlock_message_at) := Entry('scrivlock_message_at');
  if (Error = '') and (scrivlock_api_version() <> ScrivlockApiVersion) then
    Error := Format('%s speaks interface %d, this package %d',
      [Path, scrivlock_api_version(), ScrivlockApiVersion]);
  if Error <> '' then
  begin
    ClearEntries;
    UnloadLibrary(Handle);
    Exit(False);
  end;
  CoreHandle := Handle;
  Result := True;
end;

function Bytes(P: PChar; Size: csize_t): RawByteString;
begin
  Result := '';
  if (P <> nil) and (Size > 0) then
  begin
    SetLength(Result, Size);
    Move(P^, Result[1], Size);
  end;
end;

// Null for an empty name, so that the library sees "none".
function NameOrNil(const S: string): PChar;
begin
  if S = '' then
    Result := nil
  else
    Result := PChar(S);
end;

function CoreUncomment(const Text: RawByteString; const FileName, ModuleUnitName: string;
  Dialect: Integer; const ProjectMode: string; KeepLines: Boolean): TUncommentOutcome;
var
  R: TScrivlockUncommentResult;
begin
  R := Default(TScrivlockUncommentResult);
  Result.Code := scrivlock_uncomment(PChar(Text), Length(Text), PChar(FileName),
    PChar(ModuleUnitName), Dialect, NameOrNil(ProjectMode), Ord(KeepLines), @R);
  try
    Result.Refusal := R.Refusal;
    Result.Dialect := R.Dialect;
    Result.Stripped := Bytes(R.Stripped, R.StrippedSize);
    Result.Module := Bytes(R.Module, R.ModuleSize);
    if R.Message <> nil then
      Result.Message := StrPas(R.Message)
    else
      Result.Message := '';
  finally
    scrivlock_free(R.Stripped);
    scrivlock_free(R.Module);
    scrivlock_free(R.Message);
  end;
end;

function CoreRecomment(const Stripped, Module: RawByteString): TRecommentOutcome;
var
  R: TScrivlockRecommentResult;
begin
  R := Default(TScrivlockRecommentResult);
  Result.Code := scrivlock_recomment(PChar(Stripped), Length(Stripped), PChar(Module),
    Length(Module), @R);
  try
    Result.Reason := R.Reason;
    Result.Marker := R.Marker;
    Result.Entry := R.Entry;
    Result.Offset := R.Offset;
    Result.Line := R.Line;
    Result.Column := R.Column;
    Result.Restored := Bytes(R.Restored, R.RestoredSize);
    if R.Description <> nil then
      Result.Description := StrPas(R.Description)
    else
      Result.Description := '';
  finally
    scrivlock_free(R.Restored);
    scrivlock_free(R.Description);
  end;
end;

function CoreIsModuleOf(const Module: RawByteString; const UnitFileName: string): Integer;
begin
  Result := scrivlock_is_module_of(PChar(Module), Length(Module), PChar(UnitFileName));
end;

function CoreForeseeSkipProblem(const Module: RawByteString; Dialect: Integer;
  const ProjectMode: string; out Entry: Integer): Integer;
var
  E: clong;
begin
  E := 0;
  Result := scrivlock_foresee_skip_problem(PChar(Module), Length(Module), Dialect,
    NameOrNil(ProjectMode), @E);
  Entry := E;
end;

// A text the library handed out, freed; its CR LF breaks made LineEnding.
function TakeText(P: PChar): string;
begin
  if P = nil then
    Exit('');
  try
    Result := StringReplace(StrPas(P), #13#10, LineEnding, [rfReplaceAll]);
  finally
    scrivlock_free(P);
  end;
end;

function CoreMessage(Id: Integer; const UnitFile: string; const ModuleFile: string;
  Number: Int64; const Detail: string): string;
begin
  Result := TakeText(scrivlock_message(Id, PChar(UnitFile), PChar(ModuleFile), Number,
    PChar(Detail)));
end;

function CoreMessageAt(const FileName: string; Line, Column: Integer; const Text: string): string;
begin
  Result := TakeText(scrivlock_message_at(PChar(FileName), Line, Column, PChar(Text)));
end;

finalization
  UnloadScrivlockCore;
end.
