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
// A list that is not a grid, by its first row that differs (each %s in turn: the row's Y, then
// an X or the counts).
constexpr char kNotGridRepeatedX[] = "Y=%s の行に X=%s の点が２つ以上あります。\n格子状のデータではありません。";
constexpr char kNotGridPointCount[] = "Y=%s の行の点の数が %s 個で、最初の行の %s 個と違います。\n格子状のデータではありません。";
constexpr char kNotGridOtherX[] = "Y=%s の行の X=%s が、最初の行の X=%s と違います。\n格子状のデータではありません。";
constexpr char kViewerNotFoundBeforePath[] = "plotvane.exe が見つかりませんでした\n(";
