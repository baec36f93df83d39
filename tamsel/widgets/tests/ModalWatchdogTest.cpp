// The test programs' watchdog: a modal dialog that no test answers fails the running test
// with its texts and is closed, instead of holding the suite until ctest gives up.

#include "../../../testsupport/TestApplication.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

using testsupport::app;

QString u(const char* s) {
    return QString::fromUtf8(s);
}

} // namespace

TEST(ModalWatchdog, AnUnansweredDialogFailsTheTestWithItsTextsAndIsClosed) {
    app();
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    auto ask = [&] {
        answer = QMessageBox::question(nullptr, u("Удаление записи"), u("Удалить учителя?"),
                                       QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    };
    EXPECT_NONFATAL_FAILURE(ask(), "«Удаление записи» Удалить учителя?");
    EXPECT_EQ(answer, QMessageBox::No) << "closed as Esc closes it";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // A form of the program's own: its labels say what it asked.
    QDialog form;
    form.setWindowTitle(u("Новая запись"));
    (new QVBoxLayout(&form))->addWidget(new QLabel(u("Фамилия учителя"), &form));
    int result = QDialog::Accepted;
    EXPECT_NONFATAL_FAILURE(result = form.exec(), "«Новая запись» Фамилия учителя");
    EXPECT_EQ(result, QDialog::Rejected);
}

TEST(ModalWatchdog, ADialogTheTestAnswersIsLeftToIt) {
    app();
    // Answered a while after it opened, as a test's own timer does.
    QTimer::singleShot(300, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(QMessageBox::question(nullptr, u("Вопрос"), u("Продолжить?"),
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
              QMessageBox::Yes);
}
