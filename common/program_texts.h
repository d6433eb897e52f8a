// Every text the two programs show, in one place. UTF-8, like every text inside the programs;
// the platform layer hands them to Windows as UTF-16.
#pragma once

// Both programs.
constexpr char kErrorCaption[] = "Error";
constexpr char kOutOfMemoryText[] = "メモリ確保に失敗しました";
constexpr char kCsvFilterName[] = "CSV(*.csv)";
constexpr char kCsvFilterSpec[] = "*.csv";
constexpr char kCsvExtension[] = "csv";
constexpr char kOpenTitle[] = "ファイルを開く";
constexpr char kSaveTitle[] = "ファイルの保存";

// The viewer: its status bar, its error stream (prefixes of the system's message), its question.
constexpr char kStatusNotSaved[] = "未出力";
constexpr char kStatusSaved[] = "保存完了";
constexpr char kStatusReadFailed[] = "読込エラー";
constexpr char kStatusWriteFailed[] = "書込みエラー";
constexpr char kReadErrorPrefix[] = "読込エラー: ";
constexpr char kWriteErrorPrefix[] = "書込みエラー: ";
constexpr char kNoteCaption[] = "Note";
constexpr char kLargeSaveQuestion[] = "データ量が多いため保存に時間がかかります。\n続行しますか？";
constexpr char kDxfFilterName[] = "DXF(*.dxf)";
constexpr char kDxfFilterSpec[] = "*.dxf";
constexpr char kDxfExtension[] = "dxf";

// The converter's message boxes.
constexpr char kNoFileChosen[] = "ファイルが選択されませんでした";
constexpr char kReadFileError[] = "読込ファイルエラー";
constexpr char kSaveFileError[] = "保存ファイルエラー";
constexpr char kNoAutomaticName[] = "保存用ファイルを自動作成できませんでした";
constexpr char kBadLineAfterNumber[] = "行目が３つのデータ（X,Y,Z）の構成になっていません。\n終了します。";
constexpr char kViewerNotFoundBeforePath[] = "plotvane.exe が見つかりませんでした\n(";
