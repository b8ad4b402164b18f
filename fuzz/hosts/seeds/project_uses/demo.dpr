program Demo;

{ A small console program for trying scrivlock on. }

{$APPTYPE CONSOLE}

uses
  Greeter in 'Greeter.pas',
  MathUtil in 'MathUtil.pas';

begin
  // Greet, then show a sum.
  Greet('world');
  Writeln('2 + 3 = ', Add(2, 3)); (* prints 5 *)
end.
