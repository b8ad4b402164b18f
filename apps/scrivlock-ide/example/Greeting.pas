unit Greeting;

{ Greets whoever is named. }

interface

{$H+}

procedure SayHello(const Name: string);

implementation

(* The greeting goes to standard output;
   a window would do as well. *)
procedure SayHello(const Name: string);
begin
  WriteLn('Hello, ' + Name + '! // not a comment'); // but this is
end;

end.
