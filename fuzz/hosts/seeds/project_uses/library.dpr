library L(* no uses *); // none
{$R *.res}
begin end.