#pragma once

// Japanese texts that dialog resources carry from the start, stored as code page 932 bytes.
namespace fwu::captions {

extern const char kJapaneseNoticeFont[];
extern const char kRebootCancelJapanese[];

}  // namespace fwu::captions
