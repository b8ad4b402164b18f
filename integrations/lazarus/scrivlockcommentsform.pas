{ The Comments window: Uncomment and Re-Comment, and the active project's
  units with the active editor's unit selected. Built in code, so that the
  package carries no form file to keep in step. }
unit ScrivlockCommentsForm;

{$mode objfpc}{$H+}

interface

uses
  Classes, SysUtils, Forms, Controls, StdCtrls, Buttons, ExtCtrls;

type
  TScrivlockCommentsWindow = class(TForm)
  private
    FButtons: TPanel;
    FUncomment: TBitBtn;
    FReComment: TBitBtn;
    FUnits: TListBox;
    FFiles: TStringList; // the full file names of FUnits' lines, in its order
    procedure UncommentClick(Sender: TObject);
    procedure ReCommentClick(Sender: TObject);
    procedure UnitsSelectionChange(Sender: TObject; User: Boolean);
    procedure FormActivate(Sender: TObject);
    function ChosenUnit: string;
    procedure UpdateButtons;
  public
    constructor Create(TheOwner: TComponent); override;
    destructor Destroy; override;
    // Lists the project's units again and selects the active editor's.
    procedure Refresh;
  end;

// Shows the window, made on first use.
procedure ShowCommentsWindow(Sender: TObject);

implementation

uses
  Dialogs, LazFileUtils, IDEImagesIntf, IDEDialogs, ScrivlockCommands;

resourcestring
  SCaption = 'Comments';
  SUncomment = 'Uncomment';
  SReComment = 'Re-Comment';

var
  CommentsWindow: TScrivlockCommentsWindow = nil;

procedure ShowCommentsWindow(Sender: TObject);
var
  Error: string;
begin
  if not EnsureCore(Error) then
  begin
    IDEMessageDialog(SCaption, Error, mtError, [mbOK]);
    Exit;
  end;
  if CommentsWindow = nil then
    CommentsWindow := TScrivlockCommentsWindow.Create(Application);
  CommentsWindow.Refresh;
  CommentsWindow.ShowOnTop;
end;

constructor TScrivlockCommentsWindow.Create(TheOwner: TComponent);
begin
  inherited CreateNew(TheOwner);
  Name := 'ScrivlockCommentsWindow';
  Caption := SCaption;
  Width := 320;
  Height := 360;
  Position := poScreenCenter;
  BorderStyle := bsSizeToolWin;
  OnActivate := @FormActivate;

  FButtons := TPanel.Create(Self);
  FButtons.Parent := Self;
  FButtons.Align := alTop;
  FButtons.AutoSize := True;
  FButtons.BevelOuter := bvNone;
  FButtons.ChildSizing.ControlsPerLine := 2;
  FButtons.ChildSizing.Layout := cclLeftToRightThenTopToBottom;
  FButtons.ChildSizing.HorizontalSpacing := 6;
  FButtons.ChildSizing.LeftRightSpacing := 6;
  FButtons.ChildSizing.TopBottomSpacing := 6;

  FUncomment := TBitBtn.Create(Self);
  FUncomment.Parent := FButtons;
  FUncomment.Caption := SUncomment;
  FUncomment.AutoSize := True;
  FUncomment.OnClick := @UncommentClick;
  IDEImages.AssignImage(FUncomment, 'menu_uncomment');

  FReComment := TBitBtn.Create(Self);
  FReComment.Parent := FButtons;
  FReComment.Caption := SReComment;
  FReComment.AutoSize := True;
  FReComment.OnClick := @ReCommentClick;
  IDEImages.AssignImage(FReComment, 'menu_comment');

  FFiles := TStringList.Create;
  FUnits := TListBox.Create(Self);
  FUnits.Parent := Self;
  FUnits.Align := alClient;
  FUnits.BorderSpacing.Around := 6;
  FUnits.OnSelectionChange := @UnitsSelectionChange;
end;

destructor TScrivlockCommentsWindow.Destroy;
begin
  FFiles.Free;
  inherited Destroy;
end;

procedure TScrivlockCommentsWindow.Refresh;
var
  ActiveFile: string;
  I: Integer;
begin
  // The list shows names as the project inspector does, from the project's
  // folder; the commands get the full ones.
  ProjectUnitFiles(FFiles);
  FUnits.Items.BeginUpdate;
  try
    FUnits.Items.Clear;
    for I := 0 to FFiles.Count - 1 do
      FUnits.Items.Add(ProjectRelativeName(FFiles[I]));
  finally
    FUnits.Items.EndUpdate;
  end;
  ActiveFile := ActiveUnitFile;
  FUnits.ItemIndex := -1;
  for I := 0 to FFiles.Count - 1 do
    if CompareFilenames(FFiles[I], ActiveFile) = 0 then
      FUnits.ItemIndex := I;
  UpdateButtons;
end;

function TScrivlockCommentsWindow.ChosenUnit: string;
begin
  if (FUnits.ItemIndex < 0) or (FUnits.ItemIndex >= FFiles.Count) then
    Result := ''
  else
    Result := FFiles[FUnits.ItemIndex];
end;

// The buttons act on the chosen unit, so without one there is nothing to press.
procedure TScrivlockCommentsWindow.UpdateButtons;
begin
  FUncomment.Enabled := FUnits.ItemIndex >= 0;
  FReComment.Enabled := FUnits.ItemIndex >= 0;
end;

procedure TScrivlockCommentsWindow.FormActivate(Sender: TObject);
var
  Chosen: string;
  I: Integer;
begin
  // Units may have come or gone while the window was away; the choice stays.
  Chosen := ChosenUnit;
  Refresh;
  if Chosen <> '' then
    for I := 0 to FFiles.Count - 1 do
      if FFiles[I] = Chosen then
        FUnits.ItemIndex := I;
  UpdateButtons;
end;

procedure TScrivlockCommentsWindow.UnitsSelectionChange(Sender: TObject; User: Boolean);
begin
  UpdateButtons;
end;

procedure Report(const Outcome: TCommandOutcome);
begin
  if Outcome.Message = '' then
    Exit;
  if Outcome.Done then
    IDEMessageDialog(SCaption, Outcome.Message, mtWarning, [mbOK])
  else
    IDEMessageDialog(SCaption, Outcome.Message, mtError, [mbOK]);
end;

procedure TScrivlockCommentsWindow.UncommentClick(Sender: TObject);
begin
  if ChosenUnit = '' then
    Exit;
  Report(UncommentUnit(ChosenUnit));
  Refresh;
end;

procedure TScrivlockCommentsWindow.ReCommentClick(Sender: TObject);
begin
  if ChosenUnit = '' then
    Exit;
  Report(RecommentUnit(ChosenUnit));
  Refresh;
end;

end.
