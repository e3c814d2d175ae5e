// Compiled with the execution character set CP932: the Japanese literals become Shift_JIS.
#include "resources/agreement_texts.h"

namespace fwu::texts {

const TextPair kAgreementTerms{
    "You may use this program only if you accept every term below. To accept them, click "
    "\"Agree\"; otherwise click \"Not Agree\" and the program ends without changing anything.\r\n"
    "\r\n"
    "1) You may not copy this program, in whole or in part, nor pass it on to anyone else.\r\n"
    "2) You may not disassemble, decompile or otherwise reverse engineer this program, nor "
    "modify it.\r\n"
    "3) All rights in this program and in the firmware it carries remain with the maker; you "
    "receive only the right to use it as described here.\r\n"
    "4) As far as the law allows, the maker is not liable for any damage, loss of data or loss "
    "of profit that arises from the use of this program or from being unable to use it.\r\n"
    "\r\n"
    "[Instructions]\r\n"
    "1) This program is for the %s drive only. Do not use it with any other drive.\r\n"
    "2) The program runs on Windows 98 Second Edition, Windows Millennium Edition, Windows 2000 "
    "and Windows XP.\r\n"
    "3) On Windows 2000 and Windows XP, log on as a member of the Administrators group before "
    "you start the program.\r\n"
    "4) Close all other applications before you start the update.\r\n"
    "5) Take any disc out of the %s before you start the update.\r\n"
    "6) Never switch the computer off or reset it while the update runs: the drive could become "
    "unusable.\r\n"
    "7) Drives with some earlier firmware versions cannot be updated by this program.\r\n"
    "\r\n"
    "Microsoft and Windows are registered trademarks of Microsoft Corporation in the United "
    "States and other countries.\r\n",

    "本プログラムは、以下の使用条件に全て同意いただいた場合にのみ使用できます。"
    "同意いただける場合は「合意する」をクリックしてください。\r\n"
    "1) 本プログラムの全部または一部を複製したり、第三者に配布したりすることはできません。\r\n"
    "2) 本プログラムの逆アセンブル、逆コンパイル等による解析および改変はできません。\r\n"
    "3) "
    "本プログラムおよび本プログラムに含まれるファームウェアに関する権利は、製造元に帰属します。\r\n"
    "4) 本プログラムの使用または使用できなかったことにより生じたいかなる損害についても、"
    "製造元は責任を負いません。\r\n"
    "\r\n"
    "[注意事項]\r\n"
    "1) 本プログラムは %s 専用です。他のドライブには使用しないでください。\r\n"
    "2) 対応OS は Windows 98 Second Edition、Windows Millennium Edition、Windows 2000、"
    "Windows XP です。\r\n"
    "3) Windows 2000 および Windows XP では、Administrators グループのメンバーとして"
    "ログオンしてください。\r\n"
    "4) アップデートを始める前に、他のアプリケーションを全て終了してください。\r\n"
    "5) アップデートを始める前に、ドライブからディスクを取り出してください。\r\n"
    "6) アップデート中は、パソコンの電源を切ったりリセットしたりしないでください。"
    "ドライブが使用できなくなるおそれがあります。\r\n"
    "7) 以前のファームウェアのバージョンによっては、アップデートできない場合があります。\r\n"
    "\r\n"
    "Microsoft、Windows は、米国 Microsoft Corporation の米国およびその他の国における"
    "登録商標です。\r\n"
    "\r\n"};

const TextPair kAgreeCaption{"Agree", "合意する"};
const TextPair kNotAgreeCaption{"Not Agree", "合意しない"};

}  // namespace fwu::texts
