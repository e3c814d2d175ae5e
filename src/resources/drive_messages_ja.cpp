// Compiled with the execution character set CP932: the Japanese literals become Shift_JIS.
#include "resources/drive_messages.h"

namespace fwu::texts {

const TextPair kGetHandleError{"Get Handle Error: %d\n", "ハンドル取得に失敗しました: %d\n"};

const TextPair kCannotGetOsInformation{"Cannot get operationg system information.",
                                       "オペレーティングシステムの情報を取得できません。"};
const TextPair kAspiInitializeFail{"ASPI Initialize Fail!", "ASPI初期化に失敗しました。"};

}  // namespace fwu::texts
