// Every text the two programs show, in one place. UTF-8, like every text inside the programs;
// the platform layer hands them to Windows as UTF-16.
#pragma once

#include <initializer_list>
#include <string>

// The text with each "%s" in it replaced by the next of the values.
inline std::string fillIn(const char* text, std::initializer_list<std::string> values) {
  std::string filled;
  const std::string* value = values.begin();
  for (const char* p = text; *p; ++p) {
    if (p[0] == '%' && p[1] == 's' && value != values.end()) {
      filled += *value++;
      ++p;
    } else {
      filled += *p;
    }
  }
  return filled;
}

// Both programs.
constexpr char kErrorCaption[] = "Error";
constexpr char kOutOfMemoryText[] = "メモリ確保に失敗しました";
constexpr char kCsvFilterName[] = "CSV(*.csv)";
constexpr char kCsvFilterSpec[] = "*.csv";
constexpr char kCsvExtension[] = "csv";
constexpr char kOpenTitle[] = "ファイルを開く";
constexpr char kSaveTitle[] = "ファイルの保存";

// The viewer: its status bar and error stream (the failures before the system's message), its
// question.
constexpr char kStatusNotSaved[] = "未出力";
constexpr char kStatusSaved[] = "保存完了";
constexpr char kReadErrorPrefix[] = "読込エラー: ";
constexpr char kWriteErrorPrefix[] = "書込みエラー: ";
// After the status of a save, the files it left beside the target (%s: their paths).
constexpr char kLeftNewAndOld[] = " 保存した内容は %s に、元のファイルは %s にあります。";
constexpr char kLeftNew[] = " 保存した内容は %s にあります。";
constexpr char kLeftOld[] = " 元のファイルが %s に残っています。";
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
