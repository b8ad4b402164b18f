#include "hosts/ide/IdeWindow.h"

#include <QAction>
#include <QChildEvent>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/FileNames.h"
#include "hosts/common/ProjectUses.h"
#include "hosts/ide/FindBar.h"
#include "hosts/ide/IdeEditor.h"

namespace scrivlock::hosts::ide {

namespace {

constexpr const char* kTitle = "Scrivlock IDE";
// Set on a plug-in's tool window once it has been placed.
constexpr const char* kPlacedProperty = "scrivlockIdePlaced";

std::string Native(const QString& path) {
  return QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath())).toStdString();
}

QString FromNative(const std::string& name) {
  return QFile::decodeName(QByteArray::fromStdString(name));
}

QString NameOf(const std::string& fileName) {
  const std::string_view name = ExtractFileName(fileName);
  return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

bool IsProjectFile(const QFileInfo& info) {
  const QString suffix = info.suffix().toLower();
  return suffix == QLatin1String("dpr") || suffix == QLatin1String("lpr");
}

QStringList PascalFiles(const QDir& folder) {
  QStringList files;
  for (const QFileInfo& info : folder.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase))
    if (info.suffix().compare(QLatin1String("pas"), Qt::CaseInsensitive) == 0)
      files << info.absoluteFilePath();
  return files;
}

// A new project's file for a folder of units.
std::string ProjectText(const QString& name, const QStringList& units) {
  std::string text = "program " + name.toStdString() + ";\r\n";
  if (!units.isEmpty()) {
    text += "\r\nuses";
    for (qsizetype i = 0; i < units.size(); ++i) {
      const QFileInfo info(units[i]);
      text += (i == 0 ? "\r\n  " : ",\r\n  ") + info.completeBaseName().toStdString() + " in '" +
              info.fileName().toStdString() + "'";
    }
    text += ";\r\n";
  }
  return text + "\r\nbegin\r\nend.\r\n";
}

bool IsPlugInToolWindow(QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  return widget && widget->windowType() == Qt::Tool && !qobject_cast<QDockWidget*>(widget);
}

}  // namespace

TIdeWindow::TIdeWindow()
    : FServices(std::make_unique<TIdeServices>(static_cast<TIdeSite&>(*this))) {
  setWindowTitle(QString::fromLatin1(kTitle));
  resize(900, 640);

  auto* centre = new QWidget(this);
  auto* column = new QVBoxLayout(centre);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  FTabs = new QTabWidget(centre);
  FTabs->setTabsClosable(true);
  FTabs->setDocumentMode(true);
  FTabs->setMovable(true);
  column->addWidget(FTabs, 1);
  FFindBar = new TFindBar([this] { return CurrentEditor(); }, centre);
  column->addWidget(FFindBar);
  setCentralWidget(centre);
  connect(FTabs, &QTabWidget::tabCloseRequested, this, &TIdeWindow::CloseTab);
  connect(FTabs, &QTabWidget::currentChanged, this, [this] {
    UpdateStatus();
    FServices->EventNotify(hostintf::enCurrentFileChanged);
  });
  connect(FFindBar, &TFindBar::Status, this, [this](const QString& message) {
    if (!message.isEmpty()) statusBar()->showMessage(message);
  });

  FProjectDock = new QDockWidget(tr("Project Manager"), this);
  FProjectDock->setObjectName(QStringLiteral("ProjectManager"));
  FProjectList = new QListWidget(FProjectDock);
  FProjectDock->setWidget(FProjectList);
  addDockWidget(Qt::LeftDockWidgetArea, FProjectDock);
  resizeDocks({FProjectDock}, {180}, Qt::Horizontal);
  connect(FProjectList, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    const TIdeBufferPtr buffer = FServices->Find(Native(item->data(Qt::UserRole).toString()));
    if (buffer && !FServices->Open(buffer, true))
      ReportError("Cannot open " + buffer->FileName + ".");
    else if (buffer)
      buffer->Editor->setFocus();
  });

  BuildMenus();
  BuildStatusBar();
  statusBar()->showMessage(tr("Open a project with File > Open Project."));
}

TIdeWindow::~TIdeWindow() {
  FServices->UnloadExperts();
  FServices->CloseProject();
  // The tabs go after the services: they must not call them on their way.
  FTabs->disconnect(this);
}

void TIdeWindow::BuildMenus() {
  auto add = [this](QMenu* menu, const QString& caption, const char* name, QKeySequence keys,
                    auto slot) {
    QAction* action = menu->addAction(caption, this, slot);
    action->setObjectName(QString::fromLatin1(name));
    if (!keys.isEmpty()) action->setShortcut(keys);
    return action;
  };
  // An action on the current editor; nothing when there is none.
  auto onEditor = [this](void (QsciScintilla::*method)()) {
    return [this, method] {
      if (TIdeEditor* editor = CurrentEditor()) (editor->*method)();
    };
  };

  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->menuAction()->setObjectName(QStringLiteral("FileMenu"));
  add(file, tr("&Open Project..."), "FileOpenProjectItem", QKeySequence::Open,
      &TIdeWindow::OpenProjectDialog);
  add(file, tr("Open &Folder..."), "FileOpenFolderItem", {}, &TIdeWindow::OpenFolderDialog);
  add(file, tr("&New Unit"), "FileNewUnitItem", QKeySequence::New, &TIdeWindow::NewUnit);
  add(file, tr("&Add to Project..."), "FileAddItem", {}, &TIdeWindow::AddToProjectDialog);
  add(file, tr("&Remove from Project"), "FileRemoveItem", {},
      &TIdeWindow::RemoveCurrentFromProject);
  file->addSeparator();
  add(file, tr("&Save"), "FileSaveItem", QKeySequence::Save, &TIdeWindow::SaveCurrent);
  add(file, tr("Save &As..."), "FileSaveAsItem", QKeySequence::SaveAs, &TIdeWindow::SaveCurrentAs);
  add(file, tr("Save A&ll"), "FileSaveAllItem", QKeySequence(tr("Ctrl+Alt+S")),
      [this] { SaveAll(); });
  file->addSeparator();
  add(file, tr("&Close Project"), "FileCloseProjectItem", {}, &TIdeWindow::CloseProjectNow);
  add(file, tr("E&xit"), "FileExitItem", QKeySequence::Quit, &QWidget::close);

  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  edit->menuAction()->setObjectName(QStringLiteral("EditMenu"));
  add(edit, tr("&Undo"), "EditUndoItem", QKeySequence::Undo, onEditor(&QsciScintilla::undo));
  add(edit, tr("&Redo"), "EditRedoItem", QKeySequence::Redo, onEditor(&QsciScintilla::redo));
  edit->addSeparator();
  add(edit, tr("Cu&t"), "EditCutItem", QKeySequence::Cut, onEditor(&QsciScintilla::cut));
  add(edit, tr("&Copy"), "EditCopyItem", QKeySequence::Copy, onEditor(&QsciScintilla::copy));
  add(edit, tr("&Paste"), "EditPasteItem", QKeySequence::Paste, onEditor(&QsciScintilla::paste));
  add(edit, tr("Select &All"), "EditSelectAllItem", QKeySequence::SelectAll, [this] {
    if (TIdeEditor* editor = CurrentEditor()) editor->selectAll(true);
  });
  edit->addSeparator();
  add(edit, tr("&Find..."), "EditFindItem", QKeySequence::Find, [this] { FFindBar->Start(false); });
  add(edit, tr("Find &Next"), "EditFindNextItem", QKeySequence::FindNext,
      [this] { FFindBar->FindNext(true); });
  add(edit, tr("Find Pre&vious"), "EditFindPreviousItem", QKeySequence::FindPrevious,
      [this] { FFindBar->FindNext(false); });
  add(edit, tr("R&eplace..."), "EditReplaceItem", QKeySequence::Replace,
      [this] { FFindBar->Start(true); });
  add(edit, tr("&Go to Line..."), "EditGoToLineItem", QKeySequence(tr("Ctrl+G")),
      &TIdeWindow::GoToLineDialog);

  QMenu* view = menuBar()->addMenu(tr("&View"));
  view->menuAction()->setObjectName(QStringLiteral("ViewMenu"));
  QAction* projectManager = FProjectDock->toggleViewAction();
  projectManager->setText(tr("&Project Manager"));
  projectManager->setObjectName(QStringLiteral("ViewPrjMgrItem"));
  view->addAction(projectManager);

  QMenu* help = menuBar()->addMenu(tr("&Help"));
  help->menuAction()->setObjectName(QStringLiteral("HelpMenu"));
  add(help, tr("&About"), "HelpAboutItem", {}, [this] {
    QMessageBox::about(this, QString::fromLatin1(kTitle),
                       tr("A small Object Pascal editor that hosts the Scrivlock plug-in.\n"
                          "View > Comments... takes the comments out of a unit and puts "
                          "them back."));
  });
}

void TIdeWindow::BuildStatusBar() {
  auto field = [this](const char* name, const QString& tip) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setToolTip(tip);
    label->setContentsMargins(6, 0, 6, 0);
    statusBar()->addPermanentWidget(label);
    return label;
  };
  FPosition = field("StatusPosition", tr("Line and column of the cursor"));
  FEncoding = field("StatusEncoding",
                    tr("How the file's bytes are shown: UTF-8, or Latin-1 for bytes that are "
                       "not UTF-8. They are saved as they are."));
  FLineBreaks = field("StatusLineBreaks", tr("The line breaks of the file, kept on save"));
  UpdateStatus();
}

bool TIdeWindow::LoadPlugin(const QString& path) {
  std::string error;
  if (FServices->LoadExpertLibrary(Native(path), error)) return true;
  ReportError("Cannot load the plug-in " + path.toStdString() + ":\n" + error);
  return false;
}

bool TIdeWindow::OpenProjectPath(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) {
    ReportError("There is no " + path.toStdString() + ".");
    return false;
  }
  QString projectFile;
  QStringList units;
  std::string projectText;
  if (info.isDir()) {
    const QDir folder(info.absoluteFilePath());
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Files, QDir::Name))
      if (IsProjectFile(entry)) return OpenProjectPath(entry.absoluteFilePath());
    units = PascalFiles(folder);
    QString name = folder.dirName();
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")), QStringLiteral("_"));
    projectFile = folder.filePath(name + QStringLiteral(".dpr"));
    projectText = ProjectText(name, units);
  } else {
    projectFile = info.absoluteFilePath();
    std::ifstream in(Native(projectFile), std::ios::binary);
    if (!in) {
      ReportError("Cannot read " + projectFile.toStdString() + ".");
      return false;
    }
    projectText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const QDir folder = info.absoluteDir();
    for (const TUsesEntry& entry : ReadProjectUses(projectText).Entries) {
      if (entry.InFile.empty()) continue;
      QString unit = FromNative(entry.InFile);
      unit.replace(u'\\', u'/');
      units << QDir::cleanPath(folder.absoluteFilePath(unit));
    }
    if (units.isEmpty()) units = PascalFiles(folder);
  }
  if (!SettleUnsaved(tr("Save the changes before the project is closed?"))) return false;
  std::vector<std::string> unitFiles;
  for (const QString& unit : units) unitFiles.push_back(Native(unit));
  FServices->OpenProject(Native(projectFile), projectText, unitFiles);
  statusBar()->showMessage(tr("Opened %1 with %2 units.").arg(projectFile).arg(units.size()));
  return true;
}

void TIdeWindow::closeEvent(QCloseEvent* event) {
  if (!SettleUnsaved(tr("Save the changes before leaving?"))) {
    event->ignore();
    return;
  }
  FServices->CloseProject();
  FServices->UnloadExperts();
  event->accept();
}

bool TIdeWindow::event(QEvent* event) {
  // A window the plug-in makes with this one as its owner is watched for its
  // first showing and its status tips.
  if (event->type() == QEvent::ChildAdded) {
    QObject* child = static_cast<QChildEvent*>(event)->child();
    if (child->isWidgetType() && static_cast<QWidget*>(child)->isWindow())
      child->installEventFilter(this);
  }
  return QMainWindow::event(event);
}

bool TIdeWindow::eventFilter(QObject* watched, QEvent* event) {
  if (IsPlugInToolWindow(watched)) {
    auto* window = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::Show && !window->property(kPlacedProperty).toBool()) {
      window->setProperty(kPlacedProperty, true);
      // After the window's own placing, which follows its showing.
      QTimer::singleShot(0, window, [this, window] { PlaceToolWindow(window); });
    } else if (event->type() == QEvent::StatusTip) {
      statusBar()->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TIdeWindow::PlaceToolWindow(QWidget* window) {
  const QSize size = window->frameGeometry().size();
  const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
  const QRect frame = frameGeometry();
  const QPoint editorTop = FTabs->mapToGlobal(QPoint(0, 0));
  constexpr int kGap = 8;
  // Beside the main window, level with the top of the editor, where the
  // screen has room; else over the project manager; else at the editor's top
  // right corner, over the tab bar as far as it goes.
  const int top = std::clamp(editorTop.y(), screen.top(),
                             std::max(screen.top(), screen.bottom() + 1 - size.height()));
  QPoint at;
  if (frame.right() + kGap + size.width() <= screen.right() + 1) {
    at = {frame.right() + kGap, top};
  } else if (frame.left() - kGap - size.width() >= screen.left()) {
    at = {frame.left() - kGap - size.width(), top};
  } else if (FProjectDock->isVisible() && !FProjectDock->isFloating() &&
             FProjectDock->width() >= size.width() && FProjectDock->height() >= size.height()) {
    const QRect dock(FProjectDock->mapToGlobal(QPoint(0, 0)), FProjectDock->size());
    at = {dock.left() + (dock.width() - size.width()) / 2, dock.bottom() + 1 - size.height()};
  } else {
    at = {editorTop.x() + FTabs->width() - size.width(), editorTop.y()};
  }
  window->move(at);
}

intptr_t TIdeWindow::MainWindowHandle() {
  return static_cast<intptr_t>(winId());
}

QMenuBar* TIdeWindow::MenuBar() {
  return menuBar();
}

void TIdeWindow::OpenEditor(const TIdeBufferPtr& buffer, std::string_view bytes, bool show) {
  if (!buffer->Editor) {
    auto* editor = new TIdeEditor(FTabs);
    editor->Load(bytes);
    editor->SetHighlighting(buffer->Highlighted);
    buffer->Editor = editor;
    const std::weak_ptr<TIdeBuffer> weak = buffer;
    connect(editor, &QsciScintilla::modificationChanged, this, [this, weak] {
      if (const TIdeBufferPtr b = weak.lock()) UpdateTabTitle(b);
    });
    connect(editor, &QsciScintilla::cursorPositionChanged, this, [this, editor] {
      if (editor == CurrentEditor()) UpdateStatus();
    });
    FTabs->addTab(editor, QString());
    UpdateTabTitle(buffer);
  }
  if (show) FTabs->setCurrentWidget(buffer->Editor);
}

void TIdeWindow::CloseEditor(const TIdeBufferPtr& buffer) {
  TIdeEditor* editor = std::exchange(buffer->Editor, nullptr);
  if (!editor) return;
  FTabs->removeTab(FTabs->indexOf(editor));
  delete editor;
}

void TIdeWindow::BufferChanged(const TIdeBufferPtr& buffer) {
  UpdateTabTitle(buffer);
  if (buffer->Editor && buffer->Editor == CurrentEditor()) UpdateStatus();
}

void TIdeWindow::ProjectChanged() {
  FProjectList->clear();
  const TIdeBufferPtr& project = FServices->Project();
  if (!project) {
    setWindowTitle(QString::fromLatin1(kTitle));
    return;
  }
  setWindowTitle(NameOf(project->FileName) + QStringLiteral(" - ") + QString::fromLatin1(kTitle));
  std::vector<TIdeBufferPtr> listed{project};
  listed.insert(listed.end(), FServices->Units().begin(), FServices->Units().end());
  for (const TIdeBufferPtr& buffer : listed) {
    auto* item = new QListWidgetItem(NameOf(buffer->FileName), FProjectList);
    item->setData(Qt::UserRole, FromNative(buffer->FileName));
    item->setToolTip(FromNative(buffer->FileName));
    if (buffer->Editor) UpdateTabTitle(buffer);
  }
}

std::string TIdeWindow::CurrentFile() {
  const TIdeBufferPtr buffer = CurrentBuffer();
  return buffer ? buffer->FileName : std::string();
}

void TIdeWindow::ReportError(const std::string& message) {
  ++FErrorCount;
  if (!FInteractive) {
    std::fprintf(stderr, "scrivlock-ide: %s\n", message.c_str());
    return;
  }
  QMessageBox::critical(this, QString::fromLatin1(kTitle), QString::fromStdString(message));
}

void TIdeWindow::ShowStatus(const std::string& message) {
  statusBar()->showMessage(QString::fromStdString(message));
}

TIdeEditor* TIdeWindow::CurrentEditor() const {
  return qobject_cast<TIdeEditor*>(FTabs->currentWidget());
}

TIdeBufferPtr TIdeWindow::CurrentBuffer() const {
  return FServices->FindByEditor(CurrentEditor());
}

void TIdeWindow::UpdateTabTitle(const TIdeBufferPtr& buffer) {
  const int index = FTabs->indexOf(buffer->Editor);
  if (index < 0) return;
  QString title = NameOf(buffer->FileName);
  if (buffer->Modified()) title += u'*';
  FTabs->setTabText(index, title);
  FTabs->setTabToolTip(index, FromNative(buffer->FileName));
}

void TIdeWindow::UpdateStatus() {
  TIdeEditor* editor = CurrentEditor();
  for (QLabel* label : {FPosition, FEncoding, FLineBreaks}) label->setVisible(editor != nullptr);
  if (!editor) return;
  const long position = editor->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
  const long line = editor->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, position);
  const long column = editor->SendScintilla(QsciScintilla::SCI_GETCOLUMN, position);
  FPosition->setText(tr("Ln %1, Col %2").arg(line + 1).arg(column + 1));
  FEncoding->setText(QString::fromLatin1(EncodingName(editor->Encoding())));
  FLineBreaks->setText(QString::fromLatin1(LineBreaksName(editor->LineBreaks())));
}

QString TIdeWindow::UnsavedSummary() const {
  QStringList names;
  for (const TIdeBufferPtr& buffer : FServices->Buffers())
    if (buffer->Modified()) names << NameOf(buffer->FileName);
  QString summary = tr("Not saved: %1.").arg(names.join(QStringLiteral(", ")));
  for (const TIdeServices::TPendingDeletion& pending : FServices->PendingDeletions()) {
    const QString module = NameOf(pending.ModuleFile);
    QStringList waiting;
    if (!pending.UnitSaved) waiting << NameOf(pending.UnitFile);
    if (!pending.ProjectSaved && FServices->Project())
      waiting << NameOf(FServices->Project()->FileName);
    const QString unit = pending.UnitFile.empty() ? tr("its unit") : NameOf(pending.UnitFile);
    summary += QStringLiteral("\n\n");
    if (!pending.UnitSaved) {
      summary += tr("Re-Comment put the comments of %1 back in the editor only: on disk they "
                    "are still in %2. Save All saves %3, then deletes %2. Discard keeps %2 and "
                    "its comments, and leaves %1 on disk without them.")
                     .arg(unit, module, waiting.join(tr(" and ")));
    } else {
      summary += tr("%1 has its comments back on disk. Save All saves %3, which no longer "
                    "names %2, then deletes %2. Discard keeps %2, which %3 on disk still names.")
                     .arg(unit, module, waiting.join(tr(" and ")));
    }
  }
  return summary;
}

bool TIdeWindow::SettleUnsaved(const QString& question) {
  bool modified = false;
  for (const TIdeBufferPtr& buffer : FServices->Buffers())
    modified = modified || buffer->Modified();
  if (!modified || !FInteractive) return true;
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kTitle), question,
                  QMessageBox::SaveAll | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setObjectName(QStringLiteral("IdeUnsavedQuestion"));
  box.setInformativeText(UnsavedSummary());
  box.setDefaultButton(QMessageBox::SaveAll);
  const int answer = box.exec();
  if (answer == QMessageBox::Cancel) return false;
  return answer == QMessageBox::Discard || SaveAll();
}

bool TIdeWindow::SaveBuffer(const TIdeBufferPtr& buffer) {
  if (!buffer) return false;
  const bool saved = FServices->Save(buffer);
  if (saved && FServices->PendingDeletions().empty())
    statusBar()->showMessage(tr("Saved %1.").arg(FromNative(buffer->FileName)));
  return saved;
}

bool TIdeWindow::SaveAll() {
  std::vector<TIdeBufferPtr> modified;
  for (const TIdeBufferPtr& buffer : FServices->Buffers())
    if (buffer->Modified() && !buffer->IsProject) modified.push_back(buffer);
  // The project last, as an IDE does: it names what the others are.
  const TIdeBufferPtr project = FServices->Project();
  bool all = true;
  for (const TIdeBufferPtr& buffer : modified) all = SaveBuffer(buffer) && all;
  if (project && project->Modified()) all = SaveBuffer(project) && all;
  return all;
}

void TIdeWindow::OpenProjectDialog() {
  const QString file = QFileDialog::getOpenFileName(this, tr("Open Project"), QString(),
                                                    tr("Projects (*.dpr *.lpr);;All files (*)"));
  if (!file.isEmpty()) OpenProjectPath(file);
}

void TIdeWindow::OpenFolderDialog() {
  const QString folder = QFileDialog::getExistingDirectory(this, tr("Open Folder"));
  if (!folder.isEmpty()) OpenProjectPath(folder);
}

void TIdeWindow::NewUnit() {
  if (!FServices->Project()) {
    ReportError("Open a project first.");
    return;
  }
  using namespace hostintf;
  const TCreateModuleFlags flags = CreateFlag(cmAddToProject) | CreateFlag(cmShowSource) |
                                   CreateFlag(cmUnNamed) | CreateFlag(cmNewUnit) |
                                   CreateFlag(cmMarkModified);
  if (TIModuleInterface* module =
          FServices->CreateModuleEx("", "", "", "", nullptr, nullptr, flags))
    module->Release();
}

void TIdeWindow::AddToProjectDialog() {
  if (!FServices->Project()) {
    ReportError("Open a project first.");
    return;
  }
  const QString file = QFileDialog::getOpenFileName(this, tr("Add to Project"), QString(),
                                                    tr("Pascal units (*.pas);;All files (*)"));
  if (file.isEmpty()) return;
  if (!FServices->AddToProject(Native(file))) {
    ReportError(Native(file) + " is in the project already.");
    return;
  }
  FServices->Open(FServices->Find(Native(file)), true);
}

void TIdeWindow::RemoveCurrentFromProject() {
  const TIdeBufferPtr buffer = CurrentBuffer();
  if (!buffer || buffer->IsProject || !FServices->RemoveFromProject(buffer->FileName))
    ReportError("The current tab is no unit of the project.");
}

void TIdeWindow::SaveCurrent() {
  SaveBuffer(CurrentBuffer());
}

void TIdeWindow::SaveCurrentAs() {
  const TIdeBufferPtr buffer = CurrentBuffer();
  if (!buffer) return;
  const QString file = QFileDialog::getSaveFileName(
      this, tr("Save As"), FromNative(buffer->FileName), tr("Pascal units (*.pas);;All files (*)"));
  if (!file.isEmpty()) FServices->SaveAs(buffer, Native(file));
}

void TIdeWindow::CloseProjectNow() {
  if (SettleUnsaved(tr("Save the changes before the project is closed?")))
    FServices->CloseProject();
}

void TIdeWindow::CloseTab(int index) {
  const TIdeBufferPtr buffer =
      FServices->FindByEditor(qobject_cast<TIdeEditor*>(FTabs->widget(index)));
  if (!buffer) return;
  if (buffer->Modified() && FInteractive) {
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kTitle),
                    tr("Save the changes to %1?").arg(FromNative(buffer->FileName)),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("IdeUnsavedQuestion"));
    box.setDefaultButton(QMessageBox::Save);
    const int answer = box.exec();
    if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && !SaveBuffer(buffer)))
      return;
  }
  FServices->CloseModule(buffer);
}

void TIdeWindow::GoToLineDialog() {
  TIdeEditor* editor = CurrentEditor();
  if (!editor) return;
  int line = 0, index = 0;
  editor->getCursorPosition(&line, &index);
  bool ok = false;
  const int target = QInputDialog::getInt(this, tr("Go to Line"), tr("&Line:"), line + 1, 1,
                                          std::max(1, editor->lines()), 1, &ok);
  if (ok) editor->GoToLine(target);
}

}  // namespace scrivlock::hosts::ide
