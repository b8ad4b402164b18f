unit A;{ main }
// line one
(* paren *){}x//
{ two
lines }(* a (* b *)end.