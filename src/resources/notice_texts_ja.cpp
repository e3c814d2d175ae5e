// Compiled with the execution character set CP932: the Japanese literals become Shift_JIS.
#include "resources/notice_texts.h"

namespace fwu::texts {

const TextPair kWarningNotice{
    "Please close to all applications before update firmware.",
    "ファームウェアのアップデートを行う前にアプリケーションを全て終了して下さい。"};

const TextPair kCancelNotice{"Retrieves setting and system restart now.",
                             "設定を元に戻しシステムを再起動します。"};

const TextPair kEndNotice{
    "Firmware update complete. \r\nRetrieves setting and system restart now.",
    "ファームウェアのアップデートが終了しました。\r\n設定を元に戻し、再起動します。"};

const TextPair kStartNotice{
    "Update firmware takes about 3 minutes.\r\n"
    "During update, you should NOT be that run other applications, shut down and restart PC.\r\n"
    "Because CD-Drive maybe broken down.",
    "ファームウェアのアップデートには約3 分かかります。\r\n"
    "アップデート中は他のアプリケーションの実行や、パソコンを終了・再起動させることは絶対に行わない"
    "でください。\r\n"
    "CD ドライブが故障するおそれがあります。"};

const TextPair kRebootNotice{"", ""};

const TextPair kRebootWillResume{
    "Change system configuration and restart for update firmware.\r\n"
    "Please update firmware after restart.",
    "ファームウェアを書き換えられるようシステム設定を変更して再起動します。\r\n"
    "再起動後ファームウェアのアップデートを行ってください。"};

const TextPair kRebootRunAgain{
    "Change system configuration and restart for update firmware.\r\n"
    "Please run again this program after restart.",
    "ファームウェアを書き換えられるようシステム設定を変更して再起動します。\r\n"
    "再起動後もう一度このプログラムを実行して下さい。"};

}  // namespace fwu::texts
