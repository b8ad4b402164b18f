// TCipherTool: a named, owned, non-visual component that owns one text cipher.
// The Comments window carries one (CipherTool1) and uses it once, while it is
// created, to decipher its hint.
#pragma once

#include <QObject>
#include <memory>

#include "cipher/TextCipher.h"

namespace scrivlock::ui {

class TCipherTool : public QObject {
  Q_OBJECT

 public:
  // A child of `owner`, which frees it. The cipher starts in mode cmECB. Throws
  // what the cipher's construction throws.
  explicit TCipherTool(QObject* owner);
  ~TCipherTool() override;

  cipher::TTembrelCipher& Cipher() const { return *FCipher; }

 private:
  std::unique_ptr<cipher::TTembrelCipher> FCipher;
};

}  // namespace scrivlock::ui
