// Compiled with the execution character set CP932: the Japanese literals become Shift_JIS.
#include "resources/dialog_captions.h"

namespace fwu::captions {

const char kJapaneseNoticeFont[] = "ＭＳ Ｐゴシック";
const char kRebootCancelJapanese[] = "キャンセル";

}  // namespace fwu::captions
