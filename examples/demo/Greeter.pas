unit Greeter;

{ Greeter: says hello.
  This brace comment spans two lines. }

interface

// Writes a greeting for Name to the console.
procedure Greet(const Name: string);

implementation

{$IFDEF DEBUG}
uses SysUtils; // only needed for tracing
{$ENDIF}

procedure Greet(const Name: string);
begin
  (* The text below looks like comments but is a string literal. *)
  Writeln('Hello, ' + Name + '! // not a comment, { nor this }, (* nor this *)');
end;

end.
