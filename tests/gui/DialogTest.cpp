#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "TestSupport.h"
#include "gui/QtDialogProvider.h"

namespace {

// Works the modal dialog that the next call opens, once it is up.
void WhenModal(const std::function<void(QWidget*)>& work) {
  QTimer::singleShot(0, [work] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
      WhenModal(work);  // not up yet
      return;
    }
    work(modal);
  });
}

// Types a name into the file dialog under the chosen file type and accepts it.
void TypeName(const QString& fileType, const QString& name) {
  WhenModal([fileType, name](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->selectNameFilter(fileType);
    emit dialog->filterSelected(fileType);
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
    QMetaObject::invokeMethod(dialog, "accept");
  });
}

}  // namespace

TEST(FileDialogs, CompleteATypedNameWithTheExtensionOfTheFileType) {
  TempTree tree;
  QtDialogProvider dialogs;
  const QString folder = QString::fromStdString(tree.Root()) + QLatin1Char('/');
  TypeName(QStringLiteral("Quillon Files (*.qln)"), folder + QStringLiteral("first"));
  EXPECT_EQ(dialogs.SaveFile(nullptr), tree.Path("first.qln"));
  TypeName(QStringLiteral("Text File (*.txt)"), folder + QStringLiteral("second"));
  EXPECT_EQ(dialogs.SaveFile(nullptr), tree.Path("second.txt"));
  TypeName(QStringLiteral("All Files (*.*)"), folder + QStringLiteral("third"));
  EXPECT_EQ(dialogs.SaveFile(nullptr), tree.Path("third.rtf"));
  TypeName(QStringLiteral("Text File (*.txt)"), folder + QStringLiteral("kept.name"));
  EXPECT_EQ(dialogs.SaveFile(nullptr), tree.Path("kept.name"));
  // Cancelled: nothing.
  WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
  EXPECT_FALSE(dialogs.OpenFile(nullptr).has_value());
}

TEST(FileDialogs, RememberTheLastNameAndTypeAndNeverAskToOverwrite) {
  TempTree tree;
  tree.File("existing.txt", "x");
  QtDialogProvider dialogs;
  TypeName(QStringLiteral("Text File (*.txt)"), QString::fromStdString(tree.Path("existing.txt")));
  EXPECT_EQ(dialogs.SaveFile(nullptr), tree.Path("existing.txt"));
  WhenModal([&tree](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("Text File (*.txt)"));
    EXPECT_EQ(dialog->selectedFiles().value(0).toStdString(), tree.Path("existing.txt"));
    EXPECT_EQ(dialog->nameFilters(), QtDialogProvider::FileTypes());
    dialog->reject();
  });
  EXPECT_FALSE(dialogs.SaveFile(nullptr).has_value());
}

TEST(ConfirmationBox, AnswersYesNoOrCancelAndEscapeIsCancel) {
  QtDialogProvider dialogs;
  const std::pair<QMessageBox::StandardButton, ConfirmAnswer> answers[] = {
      {QMessageBox::Yes, ConfirmAnswer::Yes}, {QMessageBox::No, ConfirmAnswer::No},
      {QMessageBox::Cancel, ConfirmAnswer::Cancel}};
  for (const auto& [button, answer] : answers) {
    WhenModal([button = button](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->windowTitle(), QStringLiteral("Confirm"));
      EXPECT_EQ(box->icon(), QMessageBox::Question);
      EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::Yes));
      box->button(button)->click();
    });
    EXPECT_EQ(dialogs.Confirm(nullptr, QStringLiteral("OK to overwrite /x")), answer);
  }
  WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
  EXPECT_EQ(dialogs.Confirm(nullptr, QStringLiteral("OK to overwrite /x")), ConfirmAnswer::Cancel);
}
