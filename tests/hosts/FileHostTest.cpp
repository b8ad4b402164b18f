#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/Error.h"
#include "hostintf/InterfacePtr.h"
#include "hosts/files/FileHost.h"

namespace scrivlock::hosts {
namespace {

using namespace scrivlock::hostintf;
namespace fs = std::filesystem;

class TFileHostTest : public ::testing::Test {
 protected:
  TFileHostTest() {
    FFolder = fs::temp_directory_path() /
              ("scrivlock-filehost-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    EmptyFolder();
  }
  ~TFileHostTest() override { fs::remove_all(FFolder); }

  void EmptyFolder() const {
    fs::remove_all(FFolder);
    fs::create_directories(FFolder);
  }
  // The folder a round starts from, in tests run once for each way of keeping drafts.
  void StartRound() const {
    EmptyFolder();
    Write("Main.pas", "old main");
  }
  static const char* NameOf(TFileHost::TDrafts drafts) {
    return drafts == TFileHost::dsNamed ? "named drafts" : "unnamed drafts";
  }

  std::string PathOf(const std::string& name) const { return (FFolder / name).string(); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(PathOf(name), std::ios::binary) << text;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(PathOf(name), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::vector<std::string> Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(FFolder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  static void Replace(TIToolServices& services, const std::string& fileName, const char* text) {
    TInterfacePtr<TIModuleInterface> module(services.GetModuleInterface(fileName));
    TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
    TInterfacePtr<TIEditWriter> writer(editor->CreateWriter());
    writer->Insert(text);
    writer->DeleteTo(1 << 30);
  }

  static std::string TextOf(TIEditorInterface& editor) {
    TInterfacePtr<TIEditReader> reader(editor.CreateReader());
    std::string text;
    char chunk[7];  // small, so that texts span several reads
    for (int32_t n; (n = reader->GetText(static_cast<int32_t>(text.size()), chunk, 7)) > 0;)
      text.append(chunk, static_cast<size_t>(n));
    return text;
  }

  fs::path FFolder;
};

// Naming new units is the hosts' conformance suite's.
TEST_F(TFileHostTest, ListsThePasUnitsOfItsFolder) {
  Write("Main.pas", "unit Main;");
  Write("unit1.PAS", "");
  Write("Project1.dpr", "program Project1;");
  Write("Notes.txt", "");
  TFileHost host(PathOf("Project1.dpr"));
  EXPECT_EQ(host.Folder(), FFolder.string());
  EXPECT_EQ(host.UnitFiles(), (std::vector<std::string>{PathOf("Main.pas"), PathOf("unit1.PAS")}));
  EXPECT_THROW(TFileHost(PathOf("missing/")), TError);
}

// Unit names that stand for no regular file are listed apart, never opened: a
// FIFO would block the opening process.
TEST_F(TFileHostTest, SkipsUnitNamesThatAreNoRegularFile) {
  Write("Main.pas", "unit Main;");
  fs::create_symlink(PathOf("Main.pas"), PathOf("Link.pas"));
  ASSERT_EQ(::mkfifo(PathOf("Fifo.pas").c_str(), 0644), 0);
  fs::create_directory(PathOf("Folder.pp"));
  fs::create_symlink(PathOf("Gone.pas"), PathOf("Dangling.pas"));
  TFileHost host(FFolder.string());
  EXPECT_EQ(host.UnitFiles(), (std::vector<std::string>{PathOf("Link.pas"), PathOf("Main.pas")}));
  std::vector<std::string> skipped;
  for (const TFileHost::TSkipped& file : host.SkippedFiles())
    skipped.push_back(std::string(fs::path(file.FileName).filename()) + ": " + file.Kind);
  EXPECT_EQ(skipped, (std::vector<std::string>{"Dangling.pas: a link to nothing",
                                               "Fifo.pas: a FIFO", "Folder.pp: a folder"}));
  EXPECT_EQ(host.ToolServices()->GetModuleInterface(PathOf("Fifo.pas")), nullptr);
}

// On a file system where letter case matters, a name finds its own file; one
// of another case finds a file only when none has that very name.
TEST_F(TFileHostTest, ANameFindsItsOwnFileFirst) {
  Write("A.pas", "upper");
  Write("a.pas", "lower");
  Write("B.pas", "only");
  TFileHost host(FFolder.string());
  const struct {
    const char* Asked;
    const char* Text;
  } cases[] = {{"A.pas", "upper"}, {"a.pas", "lower"}, {"b.PAS", "only"}};
  for (const auto& c : cases) {
    TInterfacePtr<TIModuleInterface> module(
        host.ToolServices()->GetModuleInterface(PathOf(c.Asked)));
    ASSERT_TRUE(module) << c.Asked;
    TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
    EXPECT_EQ(TextOf(*editor), c.Text) << c.Asked;
  }
  Replace(*host.ToolServices(), PathOf("A.pas"), "changed");
  std::string error;
  ASSERT_TRUE(host.Commit(&error)) << error;
  EXPECT_EQ(Read("A.pas"), "changed");
  EXPECT_EQ(Read("a.pas"), "lower");
}

// Drafts kept in unnamed files and in named ones give the same results and
// leave no file behind.
TEST_F(TFileHostTest, CommitWritesNewFilesThenRewritesThenDeletes) {
  for (const TFileHost::TDrafts drafts : {TFileHost::dsUnnamed, TFileHost::dsNamed}) {
    SCOPED_TRACE(NameOf(drafts));
    StartRound();
    Write("Gone.pas", "to be deleted");
    fs::permissions(PathOf("Main.pas"), fs::perms::owner_read | fs::perms::owner_write);
    TFileHost host(FFolder.string(), drafts);
    TIToolServices& services = *host.ToolServices();
    {
      TInterfacePtr<TIModuleInterface> created(services.CreateModuleEx(
          "", "", "", "", nullptr, nullptr, CreateFlag(cmAddToProject) | CreateFlag(cmUnNamed)));
      ASSERT_TRUE(created);
    }
    Replace(services, PathOf("Unit1.pas"), "the module");
    Replace(services, PathOf("Main.pas"), "new main");
    host.ScheduleDelete(PathOf("Gone.pas"));
    EXPECT_EQ(Read("Main.pas"), "old main") << "no file changes before Commit";
    EXPECT_FALSE(fs::exists(PathOf("Unit1.pas")));
    EXPECT_EQ(host.LiveInterfaces(), 0);

    const std::vector<TFileHost::TChange> changes = host.PendingChanges();
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].Kind, TFileHost::ckCreate);
    EXPECT_EQ(changes[0].FileName, PathOf("Unit1.pas"));
    EXPECT_EQ(changes[1].Kind, TFileHost::ckRewrite);
    EXPECT_EQ(changes[2].Kind, TFileHost::ckDelete);

    std::string error;
    ASSERT_TRUE(host.Commit(&error)) << error;
    EXPECT_EQ(Listing(),
              (std::vector<std::string>{"Main.pas", "Unit1.pas"}));  // no temporary file left
    EXPECT_EQ(Read("Main.pas"), "new main");
    EXPECT_EQ(Read("Unit1.pas"), "the module");
    EXPECT_EQ(fs::status(PathOf("Main.pas")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write)
        << "a rewritten file keeps its permissions";
    EXPECT_TRUE(host.PendingChanges().empty());
  }
}

TEST_F(TFileHostTest, AFailedWriteLeavesTheFilesAfterItUntouched) {
  for (const TFileHost::TDrafts drafts : {TFileHost::dsUnnamed, TFileHost::dsNamed}) {
    SCOPED_TRACE(NameOf(drafts));
    StartRound();
    {
      TFileHost host(FFolder.string(), drafts);
      TIToolServices& services = *host.ToolServices();
      {
        TInterfacePtr<TIModuleInterface> created(services.CreateModuleEx(
            "", "", "", "", nullptr, nullptr, CreateFlag(cmUnNamed) | CreateFlag(cmNewUnit)));
        ASSERT_TRUE(created);
      }
      Replace(services, PathOf("Main.pas"), "stripped main");
      // Another program takes the new unit's name before the commit: the module
      // cannot be written, so the unit must keep its text.
      Write("Unit1.pas", "someone else's");
      std::string error;
      EXPECT_FALSE(host.Commit(&error));
      EXPECT_NE(error.find("Unit1.pas"), std::string::npos) << error;
      EXPECT_EQ(Read("Main.pas"), "old main");
      EXPECT_EQ(Read("Unit1.pas"), "someone else's");
    }
    EXPECT_EQ(Listing(), (std::vector<std::string>{"Main.pas", "Unit1.pas"}));
  }
}

TEST_F(TFileHostTest, ReadersReadOnlyWhatTheyAskFor) {
  std::string text(20000, 'x');
  text[8091] = 'y';
  Write("Big.pas", text);
  TFileHost host(FFolder.string());
  TInterfacePtr<TIModuleInterface> module(
      host.ToolServices()->GetModuleInterface(PathOf("big.pas")));
  ASSERT_TRUE(module) << "names are found regardless of letter case";
  TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
  TInterfacePtr<TIEditReader> reader(editor->CreateReader());
  char buffer[8092];
  EXPECT_EQ(reader->GetText(0, buffer, 8092), 8092);
  EXPECT_EQ(buffer[8091], 'y');
  EXPECT_EQ(reader->GetText(16184, buffer, 8092), 20000 - 16184);
  EXPECT_EQ(reader->GetText(20000, buffer, 8092), 0);
  EXPECT_EQ(host.ToolServices()->GetModuleInterface(PathOf("None.pas")), nullptr);
}

// Readers read ahead when reads go on from where the last one ended; whatever
// the order and size of the reads, each delivers the text's own bytes, also
// after the text was replaced while the reader was open.
TEST_F(TFileHostTest, ReadersDeliverTheTextInAnyOrderOfReads) {
  std::string text(700000, ' ');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i * 7 % 23);
  Write("Long.pas", text);
  TFileHost host(FFolder.string());
  TInterfacePtr<TIModuleInterface> module(
      host.ToolServices()->GetModuleInterface(PathOf("Long.pas")));
  TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
  const struct {
    const char* name;
    std::vector<std::pair<int32_t, int32_t>> reads;  // position, count
  } kCases[] = {
      {"in chunks to the end", {}},
      {"on and back", {{0, 8092}, {8092, 8092}, {100, 50}, {150, 8092}, {8242, 8092}}},
      {"across where a read ahead ends",
       {{0, 8092}, {8092, 200000}, {208092, 200000}, {408092, 291000}, {699092, 8092}}},
      {"longer than a read ahead", {{0, 10}, {10, 600000}, {600010, 8092}}},
      {"jumps", {{650000, 8092}, {658092, 8092}, {5, 8092}, {699999, 8092}, {700000, 8092}}},
  };
  for (const auto& c : kCases) {
    TInterfacePtr<TIEditReader> reader(editor->CreateReader());
    auto reads = c.reads;
    if (reads.empty()) {
      for (int32_t at = 0; at <= 700000; at += 8092) reads.emplace_back(at, 8092);
    }
    std::vector<char> buffer(700000);
    for (const auto& [position, count] : reads) {
      const int32_t n = reader->GetText(position, buffer.data(), count);
      const std::string expected =
          text.substr(std::min<size_t>(position, text.size()), static_cast<size_t>(count));
      ASSERT_EQ(std::string(buffer.data(), static_cast<size_t>(std::max(n, 0))), expected)
          << c.name << " at " << position;
    }
  }
  // A reader that has read ahead in the file, then the text is replaced.
  TInterfacePtr<TIEditReader> reader(editor->CreateReader());
  char buffer[16];
  ASSERT_EQ(reader->GetText(0, buffer, 8), 8);
  ASSERT_EQ(reader->GetText(8, buffer, 8), 8);
  EXPECT_EQ(std::string(buffer, 8), text.substr(8, 8));
  Replace(*host.ToolServices(), PathOf("Long.pas"), "replaced by a much shorter text");
  ASSERT_EQ(reader->GetText(16, buffer, 8), 8);
  EXPECT_EQ(std::string(buffer, 8), "ch short");
  ASSERT_EQ(reader->GetText(24, buffer, 16), 7);
  EXPECT_EQ(std::string(buffer, 7), "er text");
}

// The positions of a writer are the hosts' conformance suite's, which runs its
// rows from the file and from a draft. Here: what reaches the disk, and when.
TEST_F(TFileHostTest, AWriterChangesTheFileOnlyAtCommitAndMarksOnlyAChange) {
  const struct {
    const char* Name;
    const char* Insert;
    int32_t DeleteTo;
    std::string Result;
  } kCases[] = {
      {"a change", "X", 0, "Xbcdef"},
      {"the same text again", "ab", 1, "abcdef"},
  };
  for (const bool fromDraft : {false, true}) {
    for (const auto& c : kCases) {
      SCOPED_TRACE(std::string(c.Name) + (fromDraft ? ", from a draft" : ", from the file"));
      Write("Main.pas", fromDraft ? "old" : "abcdef");
      TFileHost host(FFolder.string());
      TIToolServices& services = *host.ToolServices();
      if (fromDraft) Replace(services, PathOf("Main.pas"), "abcdef");
      TInterfacePtr<TIModuleInterface> module(services.GetModuleInterface(PathOf("Main.pas")));
      TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
      {
        TInterfacePtr<TIEditWriter> writer(editor->CreateWriter());
        ASSERT_TRUE(writer);
        writer->Insert(c.Insert);
        writer->DeleteTo(c.DeleteTo);
      }
      EXPECT_EQ(TextOf(*editor), c.Result);
      EXPECT_EQ(editor->BufferModified(), fromDraft || c.Result != "abcdef");
      EXPECT_EQ(Read("Main.pas"), fromDraft ? "old" : "abcdef") << "the file waits for Commit";
      std::string error;
      ASSERT_TRUE(host.Commit(&error)) << error;
      EXPECT_EQ(Read("Main.pas"), c.Result);
    }
  }
}

// Long runs of kept characters move between files within the system rather
// than through memory; they must land where the short ones would.
TEST_F(TFileHostTest, WritersKeepLongRunsOfTheOriginalText) {
  std::string original(300000, ' ');
  for (size_t i = 0; i < original.size(); ++i) original[i] = static_cast<char>('a' + i % 23);
  const std::string head = original.substr(0, 100000), tail = original.substr(250000);
  for (const bool fromDraft : {false, true}) {
    SCOPED_TRACE(fromDraft ? "from a draft" : "from the file");
    Write("Main.pas", fromDraft ? "old" : original);
    TFileHost host(FFolder.string());
    TIToolServices& services = *host.ToolServices();
    if (fromDraft) Replace(services, PathOf("Main.pas"), original.c_str());
    TInterfacePtr<TIModuleInterface> module(services.GetModuleInterface(PathOf("Main.pas")));
    TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
    {
      TInterfacePtr<TIEditWriter> writer(editor->CreateWriter());
      ASSERT_TRUE(writer);
      EXPECT_TRUE(writer->Insert("<"));
      EXPECT_TRUE(writer->CopyTo(99999));
      EXPECT_TRUE(writer->Insert("|"));
      EXPECT_TRUE(writer->DeleteTo(249999));
    }
    EXPECT_EQ(TextOf(*editor), "<" + head + "|" + tail);
    std::string error;
    ASSERT_TRUE(host.Commit(&error)) << error;
    EXPECT_EQ(Read("Main.pas"), "<" + head + "|" + tail);
  }
}

// A text of many megabytes starts for the disk while it is written, from a
// second thread: what lands is the text, with the draft kept either way, and
// a host that goes without a Commit leaves the folder as it was.
TEST_F(TFileHostTest, ATextOfManyMegabytesLandsWhole) {
  std::string text(size_t{20} << 20, ' ');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 23);
  for (const TFileHost::TDrafts drafts : {TFileHost::dsUnnamed, TFileHost::dsNamed}) {
    for (const bool commit : {true, false}) {
      SCOPED_TRACE(std::string(NameOf(drafts)) + (commit ? ", committed" : ", dropped"));
      StartRound();
      {
        TFileHost host(FFolder.string(), drafts);
        Replace(*host.ToolServices(), PathOf("Main.pas"), text.c_str());
        std::string error;
        if (commit) {
          ASSERT_TRUE(host.Commit(&error)) << error;
        }
      }
      EXPECT_TRUE(Read("Main.pas") == (commit ? text : "old main"));
      EXPECT_EQ(Listing(), std::vector<std::string>{"Main.pas"});
    }
  }
}

// Writing past the size the process may give a file fails as a full disk
// does: the writer changes nothing and the host tells which file and why.
TEST_F(TFileHostTest, AWriterThatCannotWriteChangesNothingAndTellsWhy) {
  Write("Main.pas", "old main");
  TFileHost host(FFolder.string());
  TIToolServices& services = *host.ToolServices();
  const std::string big(300000, 'x');
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 100000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  Replace(services, PathOf("Main.pas"), big.c_str());
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, savedSignal);

  TInterfacePtr<TIModuleInterface> module(services.GetModuleInterface(PathOf("Main.pas")));
  TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
  EXPECT_EQ(TextOf(*editor), "old main");
  EXPECT_FALSE(editor->BufferModified());
  EXPECT_TRUE(host.PendingChanges().empty());
  EXPECT_NE(host.WriteError().find(PathOf("Main.pas")), std::string::npos) << host.WriteError();
  EXPECT_NE(host.WriteError().find(std::strerror(EFBIG)), std::string::npos) << host.WriteError();
  EXPECT_EQ(Listing(), (std::vector<std::string>{"Main.pas"}));
}

TEST_F(TFileHostTest, ReadersTellTheLengthOfTheText) {
  Write("Main.pas", std::string(20000, 'x'));
  TFileHost host(FFolder.string());
  TIToolServices& services = *host.ToolServices();
  auto lengthOf = [&] {
    TInterfacePtr<TIModuleInterface> module(services.GetModuleInterface(PathOf("Main.pas")));
    TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
    TInterfacePtr<TIEditReader> reader(editor->CreateReader());
    return reader->TextLength();
  };
  EXPECT_EQ(lengthOf(), 20000) << "the file's";
  Replace(services, PathOf("Main.pas"), "short");
  EXPECT_EQ(lengthOf(), 5) << "the buffer's";
  {
    TInterfacePtr<TIModuleInterface> module(services.GetModuleInterface(PathOf("Main.pas")));
    EXPECT_TRUE(module->Close());
  }
  fs::remove(PathOf("Main.pas"));
  EXPECT_EQ(lengthOf(), -1) << "no file, no length";
}

TEST_F(TFileHostTest, AWriterWhoseFileShrinksChangesNothing) {
  Write("Main.pas", "abcdef");
  TFileHost host(FFolder.string());
  TInterfacePtr<TIModuleInterface> module(
      host.ToolServices()->GetModuleInterface(PathOf("Main.pas")));
  TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
  {
    TInterfacePtr<TIEditWriter> writer(editor->CreateWriter());
    ASSERT_TRUE(writer);
    writer->Insert("new ");
    ::truncate(PathOf("Main.pas").c_str(), 2);
    EXPECT_FALSE(writer->CopyTo(4)) << "the characters to keep are gone";
    EXPECT_FALSE(writer->Insert("more"));
  }
  EXPECT_FALSE(editor->BufferModified());
  EXPECT_EQ(TextOf(*editor), "ab");
  EXPECT_TRUE(host.PendingChanges().empty());
}

TEST_F(TFileHostTest, TheFolderLockExcludesASecondHolder) {
  auto tryLock = [&] {
    const int fd = ::open(FFolder.c_str(), O_RDONLY | O_DIRECTORY);
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return locked;
  };
  {
    TFolderLock lock(FFolder.string(), 0);
    EXPECT_FALSE(tryLock());
  }
  EXPECT_TRUE(tryLock());
}

}  // namespace
}  // namespace scrivlock::hosts
