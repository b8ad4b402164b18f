program Example;

{ A small program to try Scrivlock on: open it in scrivlock-ide,
  choose View > Comments..., pick a unit and Uncomment it. }

uses
  Greeting in 'Greeting.pas',
  Counter in 'Counter.pas';

begin
  SayHello('world');
  WriteLn(CountWords('one two three'));
end.
