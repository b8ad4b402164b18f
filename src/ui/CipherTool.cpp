#include "ui/CipherTool.h"

namespace scrivlock::ui {

TCipherTool::TCipherTool(QObject* owner)
    : QObject(owner), FCipher(std::make_unique<cipher::TTembrelCipher>()) {}

TCipherTool::~TCipherTool() = default;

}  // namespace scrivlock::ui
