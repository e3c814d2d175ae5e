// Compiled with the execution character set CP932: the Japanese literals become Shift_JIS.
#include "resources/startup_texts.h"

namespace fwu::texts {

const TextPair kUnknownOperatingSystem{"Win32s or unknown operating system.",
                                       "Win32s または不明なOS です。"};
const TextPair kPowerStatusUnavailable{
    "Cannot get the power status of the system.\r\n Update abort.",
    "システムの電源状態を取得できません。\r\nアップデートを中断します。"};
const TextPair kConnectAcAdapter{"Try again after AC adapter connect the system.",
                                 "システムにAC 電源を接続して再度実行してください。"};
const TextPair kDifferentUser{
    "It logon by the user who performed, and different user.\r\nPlease logon by the user who "
    "performed this program.",
    "実行したユーザーと異なるユーザーでログオンしています。\r\nこのプログラムを実行したユーザーでロ"
    "グオンしてください。"};
const TextPair kFirmwareUpToDate{"CD-Drive firmware is NOT need to update firmware.",
                                 "CD ドライブのファームウェアは書き換え不要です。"};
const TextPair kDriveNotFound{"Could not be found CD-Drive for this program.",
                              "このプログラムに対応したCD ドライブが見つかりません。"};

}  // namespace fwu::texts
