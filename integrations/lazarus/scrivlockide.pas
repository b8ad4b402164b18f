{ The package's entry: View > Comments... and the same command in the source
  editor's context menu. The core library is loaded on first use, so that
  Lazarus starts whether or not it is installed. }
unit ScrivlockIDE;

{$mode objfpc}{$H+}

interface

procedure Register;

implementation

uses
  MenuIntf, ScrivlockCommentsForm;

resourcestring
  SCommentsMenu = 'Comments...';

procedure Register;
begin
  RegisterIDEMenuCommand(itmViewMainWindows, 'ScrivlockComments', SCommentsMenu, nil,
    @ShowCommentsWindow);
  RegisterIDEMenuCommand(SrcEditMenuSectionFirstStatic, 'ScrivlockCommentsSrcEdit',
    SCommentsMenu, nil, @ShowCommentsWindow);
end;

end.
