// The file selection and condition dialogs: the lists from the year folders,
// the entries they open with, the checks and their owner, the files a range
// takes, the remembered choices, the direct choice, and the wait cursor.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <set>

#include "datafile/ui/file_dialogs.h"
#include "tests/datafile/reader_fixture.h"

namespace velrix::testing {
namespace {

namespace fs = std::filesystem;

// Notes, for every box, whether the wait cursor was up when it was shown.
class CursorNotingMessages final : public UserMessages {
 public:
  explicit CursorNotingMessages(RecordingMessages& sink) : sink_(sink) {}
  void Show(const std::string& title, const std::string& text) override {
    ShowOver(RecordingMessages::MainWindow(), title, text);
  }
  void ShowOver(WindowHandle owner, const std::string& title, const std::string& text) override {
    const QCursor* cursor = QApplication::overrideCursor();
    waitCursorShown.push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
    sink_.ShowOver(owner, title, text);
  }
  std::vector<bool> waitCursorShown;

 private:
  RecordingMessages& sink_;
};

class FileDialogTest : public ReaderTest {
 protected:
  FileDialogTest() { settings.dataFolder = dataFolder(); }

  // Files of a few seconds each, in their dated folders.
  void WriteFiles(std::initializer_list<const char*> names) {
    for (const char* name : names) Write({name, -1, {1, 2, 3}});
  }
  void YearFolder(int year) { fs::create_directories(dataFolder() + "/" + std::to_string(year)); }
  // Types the ten fields (start then end; "" leaves a field empty) and presses OK.
  void Enter(CDlg_f_cond& dialog, const std::vector<std::string>& fields) {
    dialog.show();
    for (int i = 0; i < kConditionLists; ++i) {
      const std::string text = i < static_cast<int>(fields.size()) ? fields[i] : "";
      dialog.Combo(1009 + i)->setEditText(QString::fromStdString(text));
    }
    dialog.OkButton()->click();
  }
  // The one box shown: its title, text and owner window.
  void ExpectOnlyMessage(const std::string& title, const std::string& text, WindowHandle owner) {
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(messages.Shown()[0].title + "|" + messages.Shown()[0].text, title + "|" + text);
    EXPECT_EQ(messages.Shown()[0].owner, owner);
  }
  std::vector<std::string> LoadedNames() const {
    std::vector<std::string> names;
    for (const FileEntry& f : h->files) names.push_back(f.name);
    return names;
  }
  // "first" to "last", then the empty entry.
  static std::vector<std::string> Numbers(int first, int last) {
    std::vector<std::string> entries;
    for (int v = first; v <= last; ++v) entries.push_back(std::to_string(v));
    entries.push_back("");
    return entries;
  }
  static std::vector<std::string> Entries(const QComboBox* combo) {
    std::vector<std::string> entries;
    for (int i = 0; i < combo->count(); ++i) entries.push_back(combo->itemText(i).toStdString());
    return entries;
  }

  Settings settings;
  FileSelection selection;
  CursorNotingMessages noting{messages};
  FileOpenRoute route{nullptr, *h, selection, settings, noting, clock};
};

TEST_F(FileDialogTest, TheYearListsHoldTheYearFoldersAndTheStartOpensAtTheNewestPastTheEnd) {
  YearFolder(2014);
  YearFolder(2013);
  YearFolder(2031);  // outside the years a search can take
  WriteBytes(dataFolder() + "/2015", "a file, not a year folder");
  clock.Set(UtcFromCalendar(2025, 6, 1, 0, 0, 0));  // position 14 of a two-year list
  CDlg_f_cond dialog(route);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "ファイル選択条件");
  EXPECT_EQ(Entries(dialog.Combo(1009)), (std::vector<std::string>{"2013", "2014"}));
  EXPECT_EQ(Entries(dialog.Combo(1014)), (std::vector<std::string>{"2013", "2014", ""}));
  EXPECT_EQ(dialog.Combo(1009)->currentText().toStdString(), "2014");
  EXPECT_EQ(Entries(dialog.Combo(1010)), Numbers(1, 12));
  EXPECT_EQ(Entries(dialog.Combo(1016)), Numbers(1, 31));
  EXPECT_EQ(Entries(dialog.Combo(1012)), Numbers(0, 23));
  EXPECT_EQ(Entries(dialog.Combo(1018)), Numbers(0, 59));
  for (int id = 1010; id <= 1018; ++id) {
    EXPECT_TRUE(dialog.Combo(id)->isEditable());
    EXPECT_EQ(dialog.Combo(id)->currentText().toStdString(), "") << id;
  }
  EXPECT_EQ(dialog.focusWidget(), dialog.Combo(1009));
  std::multiset<std::string> labels;
  for (const QLabel* label : dialog.findChildren<QLabel*>()) labels.insert(label->text().toStdString());
  EXPECT_EQ(labels, (std::multiset<std::string>{
                        "測定日時（開始年は必須、以降は未入力可）", "年", "月", "日", "時", "分　～",
                        "年", "月", "日", "時", "分", "コンピュータ名", "ユニット番号", "コメント"}));
}

TEST_F(FileDialogTest, TheStartYearOpensAtTheCurrentYearsPlaceInTheList) {
  const ConditionLists lists = ConditionListsFor({2011, 2012, 2020});
  EXPECT_EQ(FillConditionForm(selection, lists, 2012).text[kStartYearList], "2012");
  EXPECT_EQ(FillConditionForm(selection, lists, 2013).text[kStartYearList], "2020");
  EXPECT_EQ(FillConditionForm(selection, lists, 2005).text[kStartYearList], "2011");
  EXPECT_EQ(FillConditionForm(selection, ConditionListsFor({}), 2020).choice[kStartYearList], -1);
  selection.listChoice[kStartYearList] = 0;  // chosen: no longer the default
  EXPECT_EQ(FillConditionForm(selection, lists, 2012).text[kStartYearList], "2011");
  // Entries remembered from a longer list (another data folder).
  selection.listChoice[kStartYearList] = 5;
  selection.listChoice[kEndYearList] = 4;
  const ConditionForm form = FillConditionForm(selection, lists, 2012);
  EXPECT_EQ(form.text[kStartYearList], "2020");
  EXPECT_EQ(form.choice[kEndYearList], -1);

  for (const int year : {2010, 2011, 2030, 2031}) YearFolder(year);
  EXPECT_EQ(YearFolders(dataFolder()), (std::vector<int>{2011, 2030}));
}

TEST_F(FileDialogTest, StartYearAloneTakesEveryFileFromThatYearOnInDateOrder) {
  WriteFiles({"121231-235900.csv", "140105-080000.csv", "130101-000000.csv", "130302-103000.csv"});
  CDlg_f_cond dialog(route);
  Enter(dialog, {"2013"});
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(LoadedNames(),
            (std::vector<std::string>{"130101-000000.csv", "130302-103000.csv", "140105-080000.csv"}));
  EXPECT_EQ(h->origin, Local(2013, 1, 1, 0, 0, 0));
  EXPECT_EQ(dialog.Span(), 6);  // a year and four days: the 10-year span
  EXPECT_TRUE(selection.loadedByCondition);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(FileDialogTest, AOneMinuteRangeTakesOnlyTheFilesNamedInThatMinute) {
  WriteFiles({"130302-102959.csv", "130302-103000.csv", "130302-103059.csv", "130302-103100.csv"});
  CDlg_f_cond dialog(route);
  Enter(dialog, {"2013", "3", "2", "10", "30", "2013", "3", "2", "10", "30"});
  EXPECT_EQ(LoadedNames(), (std::vector<std::string>{"130302-103000.csv", "130302-103059.csv"}));
  EXPECT_EQ(dialog.Span(), 1);  // 62 seconds: the 10-minute span
}

TEST_F(FileDialogTest, AValueTypedInAListStaysAsTypedAndAddsNoEntry) {
  YearFolder(2013);
  CDlg_f_cond dialog(route);
  dialog.show();
  QComboBox* year = dialog.Combo(1009);
  year->setFocus();
  year->lineEdit()->clear();
  for (const auto& [key, text] : {std::pair{Qt::Key_2, "2"}, std::pair{Qt::Key_Return, "\r"}}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
    QApplication::sendEvent(year->lineEdit(), &press);
  }
  EXPECT_EQ(year->currentText().toStdString(), "2");  // not completed to 2013
  EXPECT_EQ(year->count(), 1);
}

TEST_F(FileDialogTest, AnEndMonthBeforeTheStartMonthIsRefusedOverTheConditionDialog) {
  WriteFiles({"130402-103000.csv"});
  CDlg_f_cond dialog(route);
  Enter(dialog, {"2013", "4", "", "", "", "2013", "3"});
  EXPECT_TRUE(dialog.isVisible());
  ExpectOnlyMessage("終了月異常", "終了月は、開始月以上を設定してください。", static_cast<QWidget*>(&dialog));
  EXPECT_TRUE(h->files.empty());
  EXPECT_EQ(selection.listChoice[kStartMonthList], -1);  // nothing remembered
}

TEST_F(FileDialogTest, TypedValuesCountByTheirLeadingDigits) {
  WriteFiles({"130302-103000.csv", "130402-103000.csv"});
  CDlg_f_cond dialog(route);
  Enter(dialog, {"2013年", "3月", "", "", "", "2013", "3月末"});
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(LoadedNames(), (std::vector<std::string>{"130302-103000.csv"}));
}

TEST_F(FileDialogTest, WithoutYearFoldersTheListsAreEmptyAndATypedYearFindsNothing) {
  fs::create_directories(dataFolder());
  CDlg_f_cond dialog(route);
  EXPECT_EQ(dialog.Combo(1009)->count(), 0);
  EXPECT_EQ(Entries(dialog.Combo(1014)), (std::vector<std::string>{""}));
  Enter(dialog, {"2013"});
  EXPECT_TRUE(dialog.isVisible());
  ExpectOnlyMessage("条件確認", "この条件を満たすファイルは存在しません。", static_cast<QWidget*>(&dialog));
  EXPECT_EQ(noting.waitCursorShown, std::vector<bool>{false});
}

TEST_F(FileDialogTest, ChoicesAndFiltersComeBackOnReopeningAndTheFiltersSelect) {
  Write({"140315-070000.csv", -1, {1}, "屋上", "2.00", "PC-02"});
  Write({"140315-080000.csv", -1, {1}, "屋上", "2.00", "PC-01"});
  YearFolder(2013);
  {
    CDlg_f_cond dialog(route);
    dialog.show();
    dialog.Combo(1009)->setCurrentIndex(1);                        // 2014
    dialog.Combo(1010)->setCurrentIndex(2);                        // 3
    dialog.Combo(1011)->setEditText("15");                         // an entry, typed
    dialog.Combo(1013)->setCurrentIndex(0);                        // 0, not read after no hour
    dialog.Combo(1017)->setEditText("09");                         // no entry of the list
    dialog.Edit(1019)->setText("PC-01");
    dialog.Edit(1020)->setText("0001");
    dialog.Edit(1021)->setText("屋上");
    dialog.OkButton()->click();
    EXPECT_FALSE(dialog.isVisible());
  }
  EXPECT_EQ(LoadedNames(), std::vector<std::string>{"140315-080000.csv"});
  EXPECT_EQ(selection.listChoice[kEndHourList], -1);
  CDlg_f_cond again(route);
  std::vector<std::string> shown;
  for (const int id : {1009, 1010, 1011, 1013, 1017}) shown.push_back(again.Combo(id)->currentText().toStdString());
  for (const int id : {1019, 1020, 1021}) shown.push_back(again.Edit(id)->text().toStdString());
  EXPECT_EQ(shown, (std::vector<std::string>{"2014", "3", "15", "0", "", "PC-01", "0001", "屋上"}));
}

TEST_F(FileDialogTest, AFilterCp932CannotHoldMatchesNoFileAndTheEditsHold127Bytes) {
  WriteFiles({"130302-103000.csv"});  // comment 屋上
  CDlg_f_cond dialog(route);
  dialog.Edit(1021)->setText("屋上🙂");
  Enter(dialog, {"2013"});
  EXPECT_TRUE(h->files.empty());
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"この条件を満たすファイルは存在しません。"});

  QLineEdit* edit = dialog.Edit(1019);
  edit->clear();
  edit->insert(QString(63, QChar(0x5C4B)));  // 63 × 屋: 126 bytes
  edit->insert("屋");                          // 128 bytes: refused
  EXPECT_EQ(edit->text().size(), 63);
  edit->insert("a");
  EXPECT_EQ(edit->text().size(), 64);
}

TEST_F(FileDialogTest, AFileTheReaderRefusesIsReportedAloneAndTheSearchGoesOnUnderTheWaitCursor) {
  Write({"130302-100000.csv", -1, {1, 2}, "屋上", "9.99"});
  WriteFiles({"130302-110000.csv"});
  CDlg_f_cond dialog(route);
  Enter(dialog, {"2013"});
  EXPECT_EQ(LoadedNames(), std::vector<std::string>{"130302-110000.csv"});
  ExpectOnlyMessage("ファイル選択異常", kNotDataFileText, nullptr);
  EXPECT_EQ(noting.waitCursorShown, std::vector<bool>{true});
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FileDialogTest, TheDirectChoiceOfAFileOutsideTheTreeLoadsItAndSearchesItsFolderLater) {
  const std::string outside = temp.File("elsewhere");
  const std::string good = Write({"130302-103000.csv", -1, std::vector<double>(61, 1.0)}, outside);
  const std::string bad = Write({"130302-113000.csv", -1, {1}, "屋上", "3.00"}, outside);
  std::vector<std::string> answers = {"", bad, good};  // cancelled, refused, loaded
  std::string startedIn;
  CDlg_f_op dialog(route, nullptr, [&](QWidget*, const std::string& start) {
    startedIn = start;
    const std::string answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  });
  dialog.show();
  EXPECT_EQ(dialog.windowTitle().toStdString(), "ファイル選択");
  const std::pair<int, const char*> buttons[] = {
      {1008, "直接ファイル指定"}, {1009, "条件設定"}, {2, "キャンセル"}, {1, "OK"}};
  for (const auto& [id, text] : buttons) {
    const auto* button = dialog.findChild<QPushButton*>(QString::number(id));
    ASSERT_NE(button, nullptr) << id;
    EXPECT_EQ(button->text().toStdString(), text);
    EXPECT_EQ(button->isVisible(), id != 1);
  }
  dialog.DirectButton()->click();
  EXPECT_TRUE(messages.Shown().empty());
  dialog.DirectButton()->click();
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_EQ(messages.Shown().size(), 1u);
  EXPECT_EQ(messages.Shown()[0].owner, nullptr);
  dialog.DirectButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(startedIn, dataFolder());
  EXPECT_TRUE(dialog.Loaded());
  EXPECT_EQ(dialog.DirectPath(), good);
  EXPECT_EQ(dialog.Span(), 1);  // 61 seconds: the 10-minute span
  EXPECT_EQ(selection.searchFolder, outside);
  EXPECT_FALSE(selection.loadedByCondition);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FileDialogTest, TheOpenCommandClosesBothDialogsAfterAConditionSearch) {
  WriteFiles({"130302-103000.csv"});
  bool opStayedOpen = true;
  QTimer::singleShot(0, [&] {
    auto* op = dynamic_cast<CDlg_f_op*>(QApplication::activeModalWidget());
    if (op == nullptr) return;
    QTimer::singleShot(0, [] {
      auto* conditions = dynamic_cast<CDlg_f_cond*>(QApplication::activeModalWidget());
      if (conditions == nullptr) return;
      conditions->Combo(1009)->setEditText("2013");
      conditions->OkButton()->click();
      if (conditions->isVisible()) conditions->reject();
    });
    op->ConditionButton()->click();
    opStayedOpen = op->isVisible();
    if (opStayedOpen) op->reject();
  });
  int span = -1;
  std::string direct = "unset";
  EXPECT_TRUE(RunFileOpenDialog(route, &span, &direct));
  EXPECT_EQ(span, 5);  // two months from the start of 2013: the 1-year span
  EXPECT_EQ(direct, "");
  EXPECT_FALSE(opStayedOpen);
  EXPECT_EQ(LoadedNames(), std::vector<std::string>{"130302-103000.csv"});
}

TEST_F(FileDialogTest, CancelClosesTheFileSelectionWithNothingLoaded) {
  bool closed = false;
  QTimer::singleShot(0, [&] {
    auto* op = dynamic_cast<CDlg_f_op*>(QApplication::activeModalWidget());
    if (op == nullptr) return;
    op->CancelButton()->click();
    closed = !op->isVisible();
    if (!closed) op->reject();
  });
  int span = -1;
  std::string direct;
  EXPECT_FALSE(RunFileOpenDialog(route, &span, &direct));
  EXPECT_TRUE(closed);
}

// Answers Qt's file dialog once it shows: the name typed, or cancel for an
// empty one; notes the folder it showed.
void AnswerFileDialog(const std::string& typed, std::string* shownFolder, bool* native) {
  QTimer::singleShot(0, [=] {
    auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (chooser == nullptr) return;
    *shownFolder = chooser->directory().absolutePath().toStdString();
    *native = !chooser->testOption(QFileDialog::DontUseNativeDialog);
    if (typed.empty()) return chooser->reject();
    chooser->selectFile(QString::fromStdString(typed));
    QTimer::singleShot(0, [] {  // the dialog's own "file not found" box
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
    });
    static_cast<QDialog*>(chooser)->accept();  // QFileDialog's own checks the choice
    if (chooser->isVisible()) chooser->reject();  // refused: no hang, an empty answer
  });
}

TEST_F(FileDialogTest, QtsOwnFileDialogStartsInTheDataFolderAndGivesTheFullPath) {
  const std::string path = Write({"130302-103000.csv", -1, {1}});
  std::string shown;
  bool native = true;
  AnswerFileDialog("130302-103000", &shown, &native);  // ".csv" left off
  EXPECT_EQ(ChooseDataFile(nullptr, DayFolder("130302-103000.csv")), path);
  EXPECT_EQ(shown, DayFolder("130302-103000.csv"));
  EXPECT_FALSE(native);

  AnswerFileDialog("130302-999999.csv", &shown, &native);  // no such file: refused
  EXPECT_EQ(ChooseDataFile(nullptr, DayFolder("130302-103000.csv")), "");

  AnswerFileDialog("", &shown, &native);  // two levels missing
  EXPECT_EQ(ChooseDataFile(nullptr, dataFolder() + "/2099/04"), "");
  EXPECT_EQ(shown, dataFolder());
}

}  // namespace
}  // namespace velrix::testing
