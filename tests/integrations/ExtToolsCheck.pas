{ Reads an external-tools file with Lazarus's own XML configuration unit, by
  the paths through which Lazarus's Tools > Configure External Tools > Import
  reads it, and prints each tool: title, program, parameters, folder, parsers. }
program ExtToolsCheck;

{$mode objfpc}{$H+}

uses
  SysUtils, Laz2_XMLCfg;

var
  Config: TXMLConfig;
  Tool, Scanner: Integer;
  Path, Scanners: string;
begin
  Config := TXMLConfig.Create(ParamStr(1));
  try
    WriteLn('version ', Config.GetValue('Version', 0), ', tools ', Config.GetValue('Count', 0));
    for Tool := 1 to Config.GetValue('Count', 0) do
    begin
      Path := 'Tool' + IntToStr(Tool) + '/';
      Scanners := '';
      for Scanner := 1 to Config.GetValue(Path + 'Scanners/Count', 0) do
        Scanners := Scanners + '[' +
          Config.GetValue(Path + 'Scanners/Item' + IntToStr(Scanner) + '/Value', '') + ']';
      WriteLn(Config.GetValue(Path + 'Title/Value', ''), ' | ',
        Config.GetValue(Path + 'Filename/Value', ''), ' | ',
        Config.GetValue(Path + 'CmdLineParams/Value', ''), ' | ',
        Config.GetValue(Path + 'WorkingDirectory/Value', ''), ' | ', Scanners);
    end;
  finally
    Config.Free;
  end;
end.
