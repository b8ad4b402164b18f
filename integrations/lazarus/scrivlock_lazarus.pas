{ This file was automatically created by Lazarus. Do not edit!
  This source is only used to compile and install the package.
 }

unit scrivlock_lazarus;

{$warn 5023 off : no warning about unused units}
interface

uses
  ScrivlockIDE, ScrivlockCommentsForm, ScrivlockCommands, ScrivlockCore, 
  LazarusPackageIntf;

implementation

procedure Register;
begin
  RegisterUnit('ScrivlockIDE', @ScrivlockIDE.Register);
end;

initialization
  RegisterPackage('scrivlock_lazarus', @Register);
end.
