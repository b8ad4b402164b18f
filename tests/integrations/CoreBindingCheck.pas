{ Calls libscrivlock-core.so through the Lazarus package's own binding unit,
  as the package does: round-trips each unit named on the command line byte
  for byte, in each dialect and line setting, and checks that a refusal, a
  stop (reason, marker, entry, line and column) and the module calls come
  through the records as the library fills them. A layout or calling
  convention that differs from the C header fails here.
    corebindingcheck LIBRARY UNIT... }
program CoreBindingCheck;

{$mode objfpc}{$H+}

uses
  Classes, SysUtils, ScrivlockCore;

var
  Failures: Integer = 0;

procedure Check(Condition: Boolean; const What: string);
begin
  if not Condition then
  begin
    WriteLn('FAILED: ', What);
    Inc(Failures);
  end;
end;

function ReadBytes(const FileName: string): RawByteString;
var
  Stream: TFileStream;
begin
  Result := '';
  Stream := TFileStream.Create(FileName, fmOpenRead or fmShareDenyNone);
  try
    SetLength(Result, Stream.Size);
    if Stream.Size > 0 then
      Stream.ReadBuffer(Result[1], Stream.Size);
  finally
    Stream.Free;
  end;
end;

procedure RoundTrip(const FileName: string);
const
  Dialects: array[0..2] of Integer = (sdDelphi, sdFpc, sdAuto);
var
  Text: RawByteString;
  Dialect: Integer;
  KeepLines: Boolean;
  U: TUncommentOutcome;
  R: TRecommentOutcome;
  Name: string;
begin
  Text := ReadBytes(FileName);
  Name := ExtractFileName(FileName);
  for Dialect in Dialects do
    for KeepLines := False to True do
    begin
      U := CoreUncomment(Text, FileName, 'ScrivlockModule', Dialect, 'objfpc', KeepLines);
      Check(U.Code = scOk, Format('%s: uncomment gave %d (%s)', [Name, U.Code, U.Message]));
      if U.Code <> scOk then
        Continue;
      Check(CoreIsModuleOf(U.Module, Name) = 1, Name + ': the module is not its unit''s');
      R := CoreRecomment(U.Stripped, U.Module);
      Check(R.Code = scOk, Format('%s: re-comment gave %d (%s)', [Name, R.Code, R.Description]));
      Check(R.Restored = Text, Name + ': the round trip changed the unit');
    end;
  WriteLn('round trip: ', Name, ', ', Length(Text), ' bytes');
end;

procedure Refusals;
var
  U: TUncommentOutcome;
begin
  U := CoreUncomment('unit A; {NOTUNCOMMENTABLE} { a }', 'A.pas', 'B', sdDelphi, '', False);
  Check((U.Code = scRefused) and (U.Refusal = urNotUncommentable), 'the marked unit');
  U := CoreUncomment('{ a }', 'A.inc', 'B', sdDelphi, '', False);
  Check((U.Code = scRefused) and (U.Refusal = urExtension), 'the include file');
  U := CoreUncomment('{ a }', 'A.pas', 'B', 7, '', False);
  Check((U.Code = scErrArgument) and (U.Message <> ''), 'the dialect that is none');
end;

procedure AStop;
var
  U: TUncommentOutcome;
  R: TRecommentOutcome;
begin
  U := CoreUncomment('unit A;{ a }'#13#10'{ b }{ c }end.', 'A.pas', 'B', sdDelphi, '', False);
  Check(U.Code = scOk, 'the unit to stop in');
  // Marker 3 where entry 2 is due: the third line, column 4.
  R := CoreRecomment('unit A;{#1}'#13#10#10'  x{#3}', U.Module);
  Check(R.Code = scStopped, 'the stop');
  Check(R.Reason = rsMismatch, Format('the reason: %d', [R.Reason]));
  Check((R.Marker = 3) and (R.Entry = 2), Format('marker and entry: %d, %d', [R.Marker, R.Entry]));
  Check((R.Line = 3) and (R.Column = 4), Format('line and column: %d, %d', [R.Line, R.Column]));
  Check(R.Offset = 17, Format('the offset: %d', [R.Offset]));
  Check(R.Restored = 'unit A;{ a }'#13#10#10'  x', 'the text before the stop');
  Check(Pos('marker {#3}', R.Description) > 0, 'the sentence: ' + R.Description);
  WriteLn('stop: ', R.Description);
end;

procedure SkipProblem;
var
  U: TUncommentOutcome;
  Entry: Integer;
begin
  U := CoreUncomment('{ one'#13#10' (* two }', 'A.pas', 'B', sdDelphi, '', False);
  Check(CoreForeseeSkipProblem(U.Module, sdDelphi, '', Entry) = 0, 'no problem in delphi');
  Check((CoreForeseeSkipProblem(U.Module, sdAuto, 'objfpc', Entry) = 1) and (Entry = 1),
    'the problem in an objfpc project');
end;

// The messages come from the library, with the editor's line breaks.
procedure Messages;
var
  Text: string;
begin
  Text := CoreMessage(smRefused, 'A.pas', '', urNotUncommentable);
  Check(Text = 'Unit: A.pas' + LineEnding + ' is marked as not uncommentable.', 'M4: ' + Text);
  Text := CoreMessage(smSeveralModules, 'A.pas', '', 2);
  Check(Pos('Error. Unit A.pas has 2 commenting modules.', Text) = 1, 'M5: ' + Text);
  Text := CoreMessageAt('A.pas', 3, 7, CoreMessage(smRecommentStopped, 'A.pas', 'B.pas', 0,
    'marker {#3} at byte 17'));
  Check(Pos('A.pas(3,7) Error: ', Text) = 1, 'a place: ' + Text);
  Check(Pos('marker {#3} at byte 17', Text) > 0, 'the stop in the message: ' + Text);
  Check(CoreMessage(0, 'A.pas') = '', 'an unknown message');
end;

var
  Error: string;
  I: Integer;
begin
  if ParamCount < 1 then
  begin
    WriteLn('usage: corebindingcheck LIBRARY UNIT...');
    Halt(2);
  end;
  Check(not LoadScrivlockCore('/nonexistent/libscrivlock-core.so', Error), 'a missing library');
  Check(Pos('cannot load', Error) = 1, 'the missing library''s message: ' + Error);
  if not LoadScrivlockCore(ParamStr(1), Error) then
  begin
    WriteLn('FAILED: ', Error);
    Halt(1);
  end;
  WriteLn('library: ', StrPas(scrivlock_version()), ', interface ', scrivlock_api_version());
  Refusals;
  AStop;
  SkipProblem;
  Messages;
  for I := 2 to ParamCount do
    RoundTrip(ParamStr(I));
  if Failures > 0 then
  begin
    WriteLn(Failures, ' checks failed');
    Halt(1);
  end;
  WriteLn('binding checked');
end.
