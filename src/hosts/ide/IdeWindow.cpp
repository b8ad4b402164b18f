#include "hosts/ide/IdeWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextDocument>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/FileNames.h"

namespace scrivlock::hosts::ide {

namespace {

constexpr const char* kTitle = "Scrivlock IDE";

std::string Native(const QString& path) {
  return QDir::cleanPath(QFileInfo(path).absoluteFilePath()).toStdString();
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

}  // namespace

TIdeWindow::TIdeWindow()
    : FServices(std::make_unique<TIdeServices>(static_cast<TIdeSite&>(*this))) {
  setWindowTitle(QString::fromLatin1(kTitle));
  resize(900, 640);

  FTabs = new QTabWidget(this);
  FTabs->setTabsClosable(true);
  FTabs->setDocumentMode(true);
  setCentralWidget(FTabs);
  connect(FTabs, &QTabWidget::tabCloseRequested, this, &TIdeWindow::CloseTab);

  FProjectDock = new QDockWidget(tr("Project Manager"), this);
  FProjectDock->setObjectName(QStringLiteral("ProjectManager"));
  FProjectList = new QListWidget(FProjectDock);
  FProjectDock->setWidget(FProjectList);
  addDockWidget(Qt::LeftDockWidgetArea, FProjectDock);
  connect(FProjectList, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    const TIdeBufferPtr buffer = FServices->Find(item->data(Qt::UserRole).toString().toStdString());
    if (buffer && !FServices->Open(buffer, true))
      ReportError("Cannot open " + buffer->FileName + ".");
  });

  BuildMenus();
  statusBar()->showMessage(tr("Open a project with File > Open Project."));
}

TIdeWindow::~TIdeWindow() {
  FServices->UnloadExperts();
  FServices->CloseProject();
}

void TIdeWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->menuAction()->setObjectName(QStringLiteral("FileMenu"));
  auto add = [this](QMenu* menu, const QString& caption, const char* name, QKeySequence keys,
                    void (TIdeWindow::*slot)()) {
    QAction* action = menu->addAction(caption, this, slot);
    action->setObjectName(QString::fromLatin1(name));
    if (!keys.isEmpty()) action->setShortcut(keys);
    return action;
  };
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
  QAction* saveAll = file->addAction(tr("Save A&ll"), this, [this] { SaveAll(); });
  saveAll->setObjectName(QStringLiteral("FileSaveAllItem"));
  saveAll->setShortcut(QKeySequence(tr("Ctrl+Alt+S")));
  file->addSeparator();
  add(file, tr("&Close Project"), "FileCloseProjectItem", {}, &TIdeWindow::CloseProjectNow);
  QAction* exit = file->addAction(tr("E&xit"), this, &QWidget::close);
  exit->setObjectName(QStringLiteral("FileExitItem"));
  exit->setShortcut(QKeySequence::Quit);

  QMenu* view = menuBar()->addMenu(tr("&View"));
  view->menuAction()->setObjectName(QStringLiteral("ViewMenu"));
  QAction* projectManager = FProjectDock->toggleViewAction();
  projectManager->setText(tr("&Project Manager"));
  projectManager->setObjectName(QStringLiteral("ViewPrjMgrItem"));
  view->addAction(projectManager);

  QMenu* help = menuBar()->addMenu(tr("&Help"));
  help->menuAction()->setObjectName(QStringLiteral("HelpMenu"));
  QAction* about = help->addAction(tr("&About"), this, [this] {
    QMessageBox::about(this, QString::fromLatin1(kTitle),
                       tr("A small Object Pascal editor that hosts the Scrivlock plug-in.\n"
                          "View > Comments... takes the comments out of a unit and puts "
                          "them back."));
  });
  about->setObjectName(QStringLiteral("HelpAboutItem"));
}

bool TIdeWindow::LoadPlugin(const QString& path) {
  std::string error;
  if (FServices->LoadExpertLibrary(path.toStdString(), error)) return true;
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
    const QStringList projects =
        folder.entryList({QStringLiteral("*.dpr")}, QDir::Files, QDir::Name);
    if (!projects.isEmpty()) return OpenProjectPath(folder.filePath(projects.first()));
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
    static const QRegularExpression entry(QStringLiteral("\\b(\\w+)\\s+in\\s+'([^']+)'"),
                                          QRegularExpression::CaseInsensitiveOption);
    auto matches = entry.globalMatch(QString::fromUtf8(projectText.data(), projectText.size()));
    while (matches.hasNext()) {
      QString unit = matches.next().captured(2);
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

intptr_t TIdeWindow::MainWindowHandle() {
  return static_cast<intptr_t>(winId());
}

QMenuBar* TIdeWindow::MenuBar() {
  return menuBar();
}

void TIdeWindow::OpenEditor(const TIdeBufferPtr& buffer, std::string_view bytes, bool show) {
  if (!buffer->Editor) {
    auto* editor = new QPlainTextEdit(FTabs);
    editor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->setPlainText(EditorText(bytes));
    editor->document()->setModified(false);
    buffer->Editor = editor;
    const std::weak_ptr<TIdeBuffer> weak = buffer;
    connect(editor->document(), &QTextDocument::modificationChanged, this, [this, weak] {
      if (const TIdeBufferPtr b = weak.lock()) UpdateTabTitle(b);
    });
    FTabs->addTab(editor, QString());
    UpdateTabTitle(buffer);
  }
  if (show) FTabs->setCurrentWidget(buffer->Editor);
}

void TIdeWindow::CloseEditor(const TIdeBufferPtr& buffer) {
  QPlainTextEdit* editor = std::exchange(buffer->Editor, nullptr);
  if (!editor) return;
  FTabs->removeTab(FTabs->indexOf(editor));
  delete editor;
}

void TIdeWindow::ProjectChanged() {
  FProjectList->clear();
  const TIdeBufferPtr& project = FServices->Project();
  if (!project) {
    setWindowTitle(QString::fromLatin1(kTitle));
    return;
  }
  setWindowTitle(QString::fromStdString(std::string(ExtractFileName(project->FileName))) +
                 QStringLiteral(" - ") + QString::fromLatin1(kTitle));
  auto add = [this](const TIdeBufferPtr& buffer) {
    auto* item = new QListWidgetItem(
        QString::fromStdString(std::string(ExtractFileName(buffer->FileName))), FProjectList);
    item->setData(Qt::UserRole, QString::fromStdString(buffer->FileName));
    item->setToolTip(QString::fromStdString(buffer->FileName));
  };
  add(project);
  for (const TIdeBufferPtr& unit : FServices->Units()) add(unit);
  if (project->Editor) UpdateTabTitle(project);
  for (const TIdeBufferPtr& unit : FServices->Units())
    if (unit->Editor) UpdateTabTitle(unit);
}

void TIdeWindow::ReportError(const std::string& message) {
  QMessageBox::critical(this, QString::fromLatin1(kTitle), QString::fromStdString(message));
}

TIdeBufferPtr TIdeWindow::CurrentBuffer() const {
  return FServices->FindByEditor(qobject_cast<QPlainTextEdit*>(FTabs->currentWidget()));
}

void TIdeWindow::UpdateTabTitle(const TIdeBufferPtr& buffer) {
  const int index = FTabs->indexOf(buffer->Editor);
  if (index < 0) return;
  QString title = QString::fromStdString(std::string(ExtractFileName(buffer->FileName)));
  if (buffer->Editor->document()->isModified()) title += u'*';
  FTabs->setTabText(index, title);
  FTabs->setTabToolTip(index, QString::fromStdString(buffer->FileName));
}

bool TIdeWindow::SettleUnsaved(const QString& question) {
  bool modified = false;
  for (int i = 0; i < FTabs->count() && !modified; ++i)
    if (auto* editor = qobject_cast<QPlainTextEdit*>(FTabs->widget(i)))
      modified = editor->document()->isModified();
  if (!modified) return true;
  const auto answer = QMessageBox::question(
      this, QString::fromLatin1(kTitle), question,
      QMessageBox::SaveAll | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::SaveAll);
  if (answer == QMessageBox::Cancel) return false;
  return answer == QMessageBox::Discard || SaveAll();
}

bool TIdeWindow::SaveBuffer(const TIdeBufferPtr& buffer) {
  if (!buffer) return false;
  const bool saved = FServices->Save(buffer);
  if (saved)
    statusBar()->showMessage(tr("Saved %1.").arg(QString::fromStdString(buffer->FileName)));
  return saved;
}

bool TIdeWindow::SaveAll() {
  std::vector<TIdeBufferPtr> modified;
  for (int i = 0; i < FTabs->count(); ++i) {
    const TIdeBufferPtr buffer =
        FServices->FindByEditor(qobject_cast<QPlainTextEdit*>(FTabs->widget(i)));
    if (buffer && buffer->Editor->document()->isModified() && !buffer->IsProject)
      modified.push_back(buffer);
  }
  // The project last, as an IDE does; also when it exists only in memory.
  const TIdeBufferPtr& project = FServices->Project();
  if (project && project->Editor &&
      (project->Editor->document()->isModified() ||
       !QFileInfo::exists(QString::fromStdString(project->FileName))))
    modified.push_back(project);
  bool all = true;
  for (const TIdeBufferPtr& buffer : modified) all = SaveBuffer(buffer) && all;
  return all;
}

void TIdeWindow::OpenProjectDialog() {
  const QString file = QFileDialog::getOpenFileName(this, tr("Open Project"), QString(),
                                                    tr("Projects (*.dpr);;All files (*)"));
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
  if (!file.isEmpty() && !FServices->AddToProject(Native(file)))
    ReportError(Native(file) + " is in the project already.");
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
  const QString file =
      QFileDialog::getSaveFileName(this, tr("Save As"), QString::fromStdString(buffer->FileName),
                                   tr("Pascal units (*.pas);;All files (*)"));
  if (!file.isEmpty()) FServices->SaveAs(buffer, Native(file));
}

void TIdeWindow::CloseProjectNow() {
  if (SettleUnsaved(tr("Save the changes before the project is closed?")))
    FServices->CloseProject();
}

void TIdeWindow::CloseTab(int index) {
  const TIdeBufferPtr buffer =
      FServices->FindByEditor(qobject_cast<QPlainTextEdit*>(FTabs->widget(index)));
  if (!buffer) return;
  if (buffer->Editor->document()->isModified()) {
    const auto answer = QMessageBox::question(
        this, QString::fromLatin1(kTitle),
        tr("Save the changes to %1?").arg(QString::fromStdString(buffer->FileName)),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && !SaveBuffer(buffer)))
      return;
  }
  CloseEditor(buffer);
}

}  // namespace scrivlock::hosts::ide
