#include "capi/scrivlock.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "base/ByteStream.h"
#include "base/Error.h"
#include "commands/Messages.h"
#include "source/Dialect.h"
#include "source/ModuleSkip.h"
#include "source/SourceClass.h"

using namespace scrivlock;

namespace {

// The C values are the core's enumerators: a change there must show here.
static_assert(SCRIVLOCK_UR_NONE == source::urNone && SCRIVLOCK_UR_FAILURE == source::urFailure &&
              SCRIVLOCK_UR_EXTENSION == source::urExtension &&
              SCRIVLOCK_UR_FILE_NAME == source::urFileName &&
              SCRIVLOCK_UR_NOT_UNCOMMENTABLE == source::urNotUncommentable &&
              SCRIVLOCK_UR_TOO_LARGE == source::urTooLarge);
static_assert(SCRIVLOCK_RS_NONE == source::TReCommentStop::rsNone &&
              SCRIVLOCK_RS_NO_ENTRIES == source::TReCommentStop::rsNoEntries &&
              SCRIVLOCK_RS_MISMATCH == source::TReCommentStop::rsMismatch &&
              SCRIVLOCK_RS_NO_ENTRY_LEFT == source::TReCommentStop::rsNoEntryLeft &&
              SCRIVLOCK_RS_AFTER_END == source::TReCommentStop::rsAfterEnd &&
              SCRIVLOCK_RS_WRONG_END_NUMBER == source::TReCommentStop::rsWrongEndNumber &&
              SCRIVLOCK_RS_UNKNOWN_KIND == source::TReCommentStop::rsUnknownKind &&
              SCRIVLOCK_RS_UNPLACED_ENTRY == source::TReCommentStop::rsUnplacedEntry &&
              SCRIVLOCK_RS_FAILURE == source::TReCommentStop::rsFailure &&
              SCRIVLOCK_RS_DAMAGED_ENTRY == source::TReCommentStop::rsDamagedEntry);
static_assert(SCRIVLOCK_DIALECT_DELPHI == source::dlDelphi &&
              SCRIVLOCK_DIALECT_FPC == source::dlFpc);

// A failure inside a call, turned into a return code at the boundary.
struct TCallError {
  int Code;
  std::string What;
};

// A malloc'd, zero-terminated copy of `bytes`, for the caller to free with
// scrivlock_free.
char* Copy(std::string_view bytes) {
  char* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
  if (copy == nullptr) throw std::bad_alloc();
  if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
  copy[bytes.size()] = '\0';
  return copy;
}

// The stream's bytes for the caller, zero-terminated, to free with
// scrivlock_free; the stream is left empty.
char* HandOver(TByteStream& stream) {
  char* bytes = stream.Detach();
  return bytes != nullptr ? bytes : Copy({});
}

// A message for a log, or null when even that cannot be had.
char* CopyMessage(const std::string& what) noexcept {
  char* copy = static_cast<char*>(std::malloc(what.size() + 1));
  if (copy != nullptr) std::memcpy(copy, what.c_str(), what.size() + 1);
  return copy;
}

std::string_view Bytes(const char* data, size_t size) {
  if (data == nullptr && size > 0) throw TCallError{SCRIVLOCK_E_ARGUMENT, "a text is null"};
  // Positions are 32-bit in the system's formats; a longer text cannot be held.
  if (size > static_cast<size_t>(TByteStream::kMaxSize)) {
    throw TCallError{SCRIVLOCK_E_MEMORY, TByteStream::kExpandError};
  }
  return data == nullptr ? std::string_view() : std::string_view(data, size);
}

// The dialect a module is compiled in, or that a unit starts in before its
// own directives: the project's.
source::TDialect ProjectDialect(int dialect, const char* projectMode) {
  switch (dialect) {
    case SCRIVLOCK_DIALECT_DELPHI:
      return source::dlDelphi;
    case SCRIVLOCK_DIALECT_FPC:
      return source::dlFpc;
    case SCRIVLOCK_DIALECT_AUTO:
      return source::DialectOfMode(projectMode != nullptr ? projectMode : "")
          .value_or(source::dlFpc);
    default:
      throw TCallError{SCRIVLOCK_E_ARGUMENT, "no such dialect: " + std::to_string(dialect)};
  }
}

// Runs `body`, turning whatever it throws into a code; `message` receives what
// failed.
template <typename TBody>
int Guard(char** message, TBody&& body) noexcept {
  std::string what;
  int code = SCRIVLOCK_E_INTERNAL;
  try {
    return body();
  } catch (const TCallError& error) {
    code = error.Code;
    what = error.What;
  } catch (const std::bad_alloc&) {
    code = SCRIVLOCK_E_MEMORY;
    what = "out of memory";
  } catch (const TError& error) {
    // The byte stream's one failure is a size it cannot reach.
    code = std::strcmp(error.what(), TByteStream::kExpandError) == 0 ? SCRIVLOCK_E_MEMORY
                                                                     : SCRIVLOCK_E_INTERNAL;
    what = error.what();
  } catch (const std::exception& error) {
    what = error.what();
  } catch (...) {
    what = "an unknown failure";
  }
  if (message != nullptr) {
    try {
      *message = CopyMessage(what);
    } catch (...) {
      *message = nullptr;
    }
  }
  return code;
}

// The place of byte `offset` of `text`, 1-based, lines ending in LF, CR LF or
// CR, as editors split them.
void PlaceOf(std::string_view text, long offset, long& line, long& column) {
  const size_t stop = offset < 0 ? 0 : std::min(static_cast<size_t>(offset), text.size());
  line = 1;
  size_t start = 0;
  for (size_t i = 0; i < stop; ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++line;
      start = i + 1;
    }
  }
  column = static_cast<long>(stop - start) + 1;
}

}  // namespace

extern "C" {

int scrivlock_api_version(void) {
  return SCRIVLOCK_API_VERSION;
}

const char* scrivlock_version(void) {
  return SCRIVLOCK_VERSION;
}

int scrivlock_uncomment(const char* text, size_t size, const char* file_name,
                        const char* module_unit_name, int dialect, const char* project_mode,
                        int keep_lines, scrivlock_uncomment_result* result) {
  if (result == nullptr) return SCRIVLOCK_E_ARGUMENT;
  std::memset(result, 0, sizeof *result);
  TByteStream stripped, module;
  const int code = Guard(&result->message, [&]() -> int {
    const std::string_view unit = Bytes(text, size);
    if (file_name == nullptr || module_unit_name == nullptr) {
      throw TCallError{SCRIVLOCK_E_ARGUMENT, "a name is null"};
    }
    source::TSourceClass processor;
    processor.FileName = file_name;
    processor.Options.Dialect = ProjectDialect(dialect, project_mode);
    if (dialect == SCRIVLOCK_DIALECT_AUTO) {
      processor.Options.Dialect = source::AutoDialect(unit, processor.Options.Dialect);
    }
    processor.Options.KeepLines = keep_lines != 0;
    result->dialect = processor.Options.Dialect;
    TByteStream source(unit);
    if (!processor.UnComment(source, stripped, module, module_unit_name)) {
      result->refusal = processor.LastRefusal();
      return SCRIVLOCK_REFUSED;
    }
    result->stripped_size = static_cast<size_t>(stripped.Size());
    result->module_size = static_cast<size_t>(module.Size());
    result->stripped = HandOver(stripped);
    result->module = HandOver(module);
    return SCRIVLOCK_OK;
  });
  if (code < 0) {
    // Nothing half-made goes out.
    std::free(result->stripped);
    std::free(result->module);
    result->stripped = result->module = nullptr;
    result->stripped_size = result->module_size = 0;
  }
  return code;
}

int scrivlock_recomment(const char* stripped, size_t stripped_size, const char* module,
                        size_t module_size, scrivlock_recomment_result* result) {
  if (result == nullptr) return SCRIVLOCK_E_ARGUMENT;
  std::memset(result, 0, sizeof *result);
  const int code = Guard(&result->description, [&]() -> int {
    const std::string_view strippedText = Bytes(stripped, stripped_size);
    TByteStream strippedStream(strippedText), moduleStream(Bytes(module, module_size)), restored;
    source::TSourceClass processor;
    const bool complete = processor.ReComment(strippedStream, moduleStream, restored);
    const source::TReCommentStop& stop = processor.LastStop();
    result->reason = stop.Reason;
    // Positions are bounded by TByteStream::kMaxSize, which a long holds.
    result->marker = stop.Marker;
    result->entry = stop.Entry;
    result->offset = static_cast<long>(stop.Offset);
    result->module_offset = static_cast<long>(stop.ModuleOffset);
    result->restored_size = static_cast<size_t>(restored.Size());
    result->restored = HandOver(restored);
    if (complete) return SCRIVLOCK_OK;
    PlaceOf(strippedText, result->offset, result->line, result->column);
    result->description = Copy(stop.Describe());
    return SCRIVLOCK_STOPPED;
  });
  if (code < 0) {
    std::free(result->restored);
    result->restored = nullptr;
    result->restored_size = 0;
  }
  return code;
}

int scrivlock_is_module_of(const char* module, size_t module_size, const char* unit_file_name) {
  return Guard(nullptr, [&]() -> int {
    if (unit_file_name == nullptr) throw TCallError{SCRIVLOCK_E_ARGUMENT, "a name is null"};
    TByteStream stream(Bytes(module, module_size));
    return source::TSourceClass().IsModuleOf(stream, unit_file_name) ? 1 : 0;
  });
}

int scrivlock_foresee_skip_problem(const char* module, size_t module_size, int dialect,
                                   const char* project_mode, long* entry) {
  if (entry == nullptr) return SCRIVLOCK_E_ARGUMENT;
  *entry = 0;
  return Guard(nullptr, [&]() -> int {
    const source::TSkipProblem problem = source::ForeseeSkipProblem(
        Bytes(module, module_size), ProjectDialect(dialect, project_mode));
    *entry = problem.Entry;
    return problem.Found ? 1 : 0;
  });
}

char* scrivlock_message(int message, const char* unit_file, const char* module_file, long number,
                        const char* detail) {
  namespace m = commands;
  const std::string_view unit = unit_file != nullptr ? unit_file : "";
  const std::string_view module = module_file != nullptr ? module_file : "";
  const auto count = static_cast<int32_t>(std::clamp<long>(number, INT32_MIN, INT32_MAX));
  try {
    switch (message) {
      case SCRIVLOCK_MSG_SELECT_UNIT:
        return Copy(m::MsgSelectUnit);
      case SCRIVLOCK_MSG_ALREADY_UNCOMMENTED:
        return Copy(m::MsgAlreadyUncommented(unit, module));
      case SCRIVLOCK_MSG_CANNOT_READ:
        return Copy(m::MsgCannotRead(unit));
      case SCRIVLOCK_MSG_REFUSED: {
        // A number that names no refusal gets the message of a plain failure.
        const bool known = number >= SCRIVLOCK_UR_NONE && number <= SCRIVLOCK_UR_FAILURE;
        const auto reason =
            known ? static_cast<source::TUnCommentRefusal>(number) : source::urFailure;
        return Copy(m::UnCommentRefusalMessage(reason, unit));
      }
      case SCRIVLOCK_MSG_SEVERAL_MODULES:
        return Copy(m::MsgSeveralModules(unit, count));
      case SCRIVLOCK_MSG_NO_MODULE:
        return Copy(m::MsgNoModule(unit));
      case SCRIVLOCK_MSG_MODULE_NOT_SKIPPABLE:
        return Copy(m::MsgModuleNotSkippable(unit, module, count));
      case SCRIVLOCK_MSG_EMPTY_UNIT:
        return Copy(m::MsgEmptyUnit(unit));
      case SCRIVLOCK_MSG_ZERO_BYTE:
        return Copy(m::MsgZeroByte(unit, number));
      case SCRIVLOCK_MSG_CANNOT_CREATE_MODULE:
        return Copy(m::MsgCannotCreateModule(unit));
      case SCRIVLOCK_MSG_CANNOT_FILL_MODULE:
        return Copy(m::MsgCannotFillModule(unit, module));
      case SCRIVLOCK_MSG_UNIT_NOT_STRIPPED:
        return Copy(m::MsgUnitNotStripped(unit, module));
      case SCRIVLOCK_MSG_UNIT_NOT_RESTORED:
        return Copy(m::MsgUnitNotRestored(unit, module));
      case SCRIVLOCK_MSG_CANNOT_READ_MODULE:
        return Copy(m::MsgCannotReadModule(unit, module));
      case SCRIVLOCK_MSG_RECOMMENT_STOPPED:
        return Copy(m::MsgReCommentStopped(unit, module, detail != nullptr ? detail : ""));
      default:
        return nullptr;
    }
  } catch (...) {
    return nullptr;
  }
}

char* scrivlock_message_at(const char* file_name, long line, long column, const char* text) {
  try {
    return Copy(commands::MsgAt(file_name != nullptr ? file_name : "", line, column,
                                text != nullptr ? text : ""));
  } catch (...) {
    return nullptr;
  }
}

void scrivlock_free(void* pointer) {
  std::free(pointer);
}

}  // extern "C"
