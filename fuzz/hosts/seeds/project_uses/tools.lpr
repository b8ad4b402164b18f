program Tools;

{$mode objfpc}{$H+}

uses
  {$IFDEF UNIX}cthreads,{$ENDIF}
  Classes, SysUtils, // the RTL
  Main in 'src/main.pas' {MainForm},
  Vcl.Forms;

begin
end.
