// Compiled with the execution character set CP932: the Japanese literals become Shift_JIS.
#include "resources/update_texts.h"

namespace fwu::texts {

const TextPair kDriveLabel{"CD-Drive", "CD ドライブ"};
const TextPair kAboutMenuItem{"About", "バージョン情報"};
const TextPair kUpdateStartCaption{"Update Start", "アップデート開始"};
const TextPair kCancelCaption{"CANCEL", "中止"};

const TextPair kScanComplete{"Scan Complete.", "スキャン終了。"};
const TextPair kNowUpdating{"Now Updating...", "アップデート中…"};
const TextPair kUpdateFailedStatus{"Update Failed.", "アップデート失敗。"};
const TextPair kUpdateFailedMessage{"Update Failed.", "アップデートに失敗しました。"};
const TextPair kUpdateComplete{"Update Complete.", "アップデート終了。"};
const TextPair kErrorPrefix{"", "エラー:"};

const TextPair kNotSupportedDriveStatus{"Not Support.", "サポートしないCD ドライブです。"};
const TextPair kNotSupportedFirmwareStatus{"Not support firmware.",
                                           "サポートしないファームウェアです。"};
const TextPair kUpdateUnnecessaryStatus{"Unnecessary Firmware Update Drive.",
                                        "ファームウェアのアップデートは不要です。"};
const TextPair kUpdateAllowedStatus{" ", " "};

const TextPair kNotSupportVersion{"Not Support Version.", "サポートしないファームウェアです。"};
const TextPair kNotSupport{"Not Support.", "サポートしないCD ドライブです。"};

}  // namespace fwu::texts
