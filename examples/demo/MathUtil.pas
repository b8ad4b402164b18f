unit MathUtil;

(* Small arithmetic helpers. *)

interface

function Add(A, B: Integer): Integer; // returns A + B
function Twice(A: Integer): Integer;  { returns 2 * A }

implementation

{$R-} // range checks off for speed

function Add(A, B: Integer): Integer;
begin
  Result := A + B; { no overflow check (*nested-looking*) }
end;

function Twice(A: Integer): Integer;
begin
  Result := Add(A, A); // reuse Add
end;

end.
