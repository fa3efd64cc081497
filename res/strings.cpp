// The string table, in English (1033) and Japanese (1041).
#include "res/strings.h"

#include "res/resource.h"

const StringTableEntry g_stringTable[] = {
    {IDS_ABOUTBOX, "&About Holdrin...", "&About Holdrin..."},
    {IDS_FILE_EXISTS, "Specified file already exists.\nDo you overwrite?",
     "指定したファイルはすでに存在します。\n上書きしますか？"},
    {IDS_STOP_BACKUP, "Backupping the data now.\nDo you stop backupping?",
     "バックアップを行っています。\n中断しますか？"},
    {IDS_STOP_RESTORE, "Recovering the data now.\nDo you stop recovering?",
     "リカバリを行っています。\n中断しますか？"},
    {IDS_BACKUP_FAILED, "Failed to backup the data.", "バックアップに失敗しました。"},
    {IDS_RESTORE_FAILED, "Failed to recovery the data.", "リカバリに失敗しました。"},
    {IDS_EJECT_CARD, "Quit the application, and eject the CF card from the PC.",
     "アプリケーションを終了し、CFカードを取り出してください。"},
    {IDS_CONFIRM_RESTORE, "Data will be recovered in the %s drive .\nDo you continue this process?",
     "%sドライブにリカバリを行います。\n作業を続けますか？"},
    {IDS_FILE_NOT_FOUND, "Specified file does not exist.", "指定したファイルは存在しません。"},
    {IDS_IMAGE_TOO_LARGE,
     "Size of the data to be recovered is too large.\nCheck each capacity of a device and data, and execute the "
     "recovering again.",
     "リカバリするデータのサイズが大きすぎます。\nCFサイズとリカバリするデータサイズを確認し、再度リカバリを行って"
     "ください。"},
    {IDS_CANNOT_CREATE, "The specified file cannot be created.", "指定したファイルを作成できません。"},
    {IDS_DRIVE_IN_USE, "Specified drive is being used.\nQuit the application, and execute it again.",
     "指定したドライブは使用中です。\nアプリケーションを終了し、再度実行してください。"},
    {IDS_TIP_BACKUP, "Backup of the CF card is made.", "CFカードのバックアップを行います。"},
    {IDS_TIP_RESTORE, "Recovery is performed to the CF card.", "CFカードにリカバリを行います。"},
    {IDS_TIP_QUIT, "Application is completed.", "アプリケーションを終了します。"},
    {IDS_TIP_BROWSE, "File is referred.", "ファイルを参照します。"},
    {IDS_TIP_REFRESH, "CF card information is updated.", "CFカード情報を更新します。"},
    {IDS_TIP_DRIVE, "Select the CF card.", "CFカードを選択してください。"},
    {IDS_TIP_FILE_NAME, "Enter the file name.", "ファイル名を入力してください。"},
    {IDS_DISK_FULL, "Insufficient disk space.\nBackupping is canceled.",
     "空き容量が不足しています。\nバックアップを中断します。"},
};

const unsigned g_stringTableSize = sizeof g_stringTable / sizeof g_stringTable[0];
