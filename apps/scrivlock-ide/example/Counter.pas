unit Counter;

interface

// Counts the words of a text: runs of characters other than blanks.
function CountWords(const Text: string): Integer;

implementation

function CountWords(const Text: string): Integer;
var
  I: Integer;
  InWord: Boolean; { true inside a word }
begin
  Result := 0;
  InWord := False;
  for I := 1 to Length(Text) do
    if Text[I] <> ' ' then
    begin
      if not InWord then Inc(Result); // a new word starts
      InWord := True;
    end
    else
      InWord := False;
end;

end.
