// The host's modules and editor buffers: TIModuleInterface, TIEditorInterface,
// TIEditReader, TIEditWriter and the module notifier TIModuleNotifier.
//
// A buffer holds the unit's text as bytes (the host's 8-bit code page, lines
// ending in CR LF). Positions are byte positions counted from 0.
//
// Writer positions. A writer works on the text the buffer held when the writer
// was created (its "original text") and keeps a cursor in it, at 0 to begin
// with. Every position given to a writer is a position in that original text:
//   - Insert(text) inserts `text` before the original character at the cursor;
//     the cursor does not move;
//   - CopyTo(P) keeps the original characters from the cursor through P
//     (inclusive) and moves the cursor to P + 1;
//   - DeleteTo(P) removes the original characters from the cursor through P
//     (inclusive) and moves the cursor to P + 1.
// A P below the cursor copies or removes nothing; a P at or past the end of
// the original text stops at its end. When the writer is released, the
// original characters from the cursor to the end are kept and the result
// becomes the buffer's text.
// So for a buffer of L characters, Insert(new) then DeleteTo(L - 1) leaves
// exactly `new` in the buffer (for L = 0, DeleteTo(-1) removes nothing).
//
// Every pointer returned is a new reference (see VirtIntf.h); nullptr means
// "none". Everything runs on the host's user-interface thread.
#pragma once

#include <cstdint>
#include <string>

#include "hostintf/VirtIntf.h"

namespace scrivlock::hostintf {

enum TSyntaxHighlighter : int32_t {
  shNone = 0,
  shPascal = 1,
};

// Codes of TIModuleNotifier::Notify.
enum TNotifyCode : int32_t {
  ncModuleDeleted = 0,  // the module goes away (project closed, unit removed)
  ncModuleRenamed = 1,  // the module's file was renamed ("save as")
  ncEditorModified = 2,
  ncFormModified = 3,
  ncEditorSelected = 4,
  ncFormSelected = 5,
  ncBeforeSave = 6,
  ncAfterSave = 7,  // the module was saved
};

class TIEditReader : public TInterface {
 public:
  // Copies up to `count` characters from `position` into `buffer`; returns how
  // many (fewer only at the end of the text, 0 past it). Never writes beyond
  // `count` bytes and adds no terminating zero.
  virtual int32_t GetText(int32_t position, char* buffer, int32_t count) = 0;
  // The length of the text in characters when the reader knows it without
  // reading the text, else -1 (the default). Only a hint for sizing a copy:
  // what GetText delivers is the text.
  virtual int64_t TextLength() { return -1; }
};

class TIEditWriter : public TInterface {
 public:
  // Inserts the zero-terminated `text` at the cursor (see the file comment): a
  // zero byte ends it. False when the writer is no longer usable.
  virtual bool Insert(const char* text) = 0;
  virtual bool CopyTo(int32_t position) = 0;
  virtual bool DeleteTo(int32_t position) = 0;
  // The cursor: the position in the original text of the next character.
  virtual int32_t CurrentPos() = 0;
};

class TIEditorInterface : public TInterface {
 public:
  virtual TIEditReader* CreateReader() = 0;
  // At most one writer at a time; nullptr while another one is alive.
  virtual TIEditWriter* CreateWriter() = 0;
  // The full file name of the buffer's module.
  virtual std::string FileName() = 0;
  // Whether the buffer changed since it was last saved.
  virtual bool BufferModified() = 0;
  // Returns the former highlighter.
  virtual TSyntaxHighlighter SetSyntaxHighlighter(TSyntaxHighlighter highlighter) = 0;
};

// Implemented by the plug-in, added to a module to hear its events. The module
// only borrows the notifier: the plug-in removes it (RemoveNotifier) before it
// releases its last reference.
class TIModuleNotifier : public TInterface {
 public:
  virtual void Notify(TNotifyCode notifyCode) = 0;
  virtual void ComponentRenamed(void* componentHandle, const std::string& oldName,
                                const std::string& newName) = 0;
};

class TIModuleInterface : public TInterface {
 public:
  // The module's editor buffer; nullptr when it has none.
  virtual TIEditorInterface* GetEditorInterface() = 0;
  // Closes the module's editor (asking nothing, saving nothing). The module
  // stays in the project if it is part of one. False when it cannot be closed.
  virtual bool Close() = 0;
  // Saves the buffer to its file. False on failure.
  virtual bool Save(bool forceSave) = 0;
  virtual bool IsProjectModule() = 0;
  // Borrowed; see TIModuleNotifier. False when it was already added / not there.
  virtual bool AddNotifier(TIModuleNotifier* notifier) = 0;
  virtual bool RemoveNotifier(TIModuleNotifier* notifier) = 0;
};

}  // namespace scrivlock::hostintf
