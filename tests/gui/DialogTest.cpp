#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
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
  EXPECT_EQ(dialogs.SaveFile(), tree.Path("first.qln"));
  TypeName(QStringLiteral("Text File (*.txt)"), folder + QStringLiteral("second"));
  EXPECT_EQ(dialogs.SaveFile(), tree.Path("second.txt"));
  TypeName(QStringLiteral("All Files (*.*)"), folder + QStringLiteral("third"));
  EXPECT_EQ(dialogs.SaveFile(), tree.Path("third.rtf"));
  TypeName(QStringLiteral("Text File (*.txt)"), folder + QStringLiteral("kept.name"));
  EXPECT_EQ(dialogs.SaveFile(), tree.Path("kept.name"));
  // Cancelled: nothing.
  WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
  EXPECT_FALSE(dialogs.OpenFile().has_value());
}

TEST(FileDialogs, RememberTheLastNameAndTypeAndNeverAskToOverwrite) {
  TempTree tree;
  tree.File("existing.txt", "x");
  QtDialogProvider dialogs;
  TypeName(QStringLiteral("Text File (*.txt)"), QString::fromStdString(tree.Path("existing.txt")));
  EXPECT_EQ(dialogs.SaveFile(), tree.Path("existing.txt"));
  WhenModal([&tree](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("Text File (*.txt)"));
    EXPECT_EQ(dialog->selectedFiles().value(0).toStdString(), tree.Path("existing.txt"));
    EXPECT_EQ(dialog->nameFilters(), QtDialogProvider::FileTypes());
    dialog->reject();
  });
  EXPECT_FALSE(dialogs.SaveFile().has_value());
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
    EXPECT_EQ(dialogs.Confirm("OK to overwrite /x"), answer);
  }
  WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
  EXPECT_EQ(dialogs.Confirm("OK to overwrite /x"), ConfirmAnswer::Cancel);
}

TEST(FileDialogs, StartAtHomeThenWhereTheyWereUsedWithEveryColumnWhole) {
  TempTree tree;
  tree.Dir("docs");
  tree.File("docs/a-rather-long-file-name-for-the-name-column.qln", std::string(123456, 'x'));
  const QByteArray home = qgetenv("HOME");
  qputenv("HOME", tree.Root().c_str());
  QtDialogProvider dialogs;
  qputenv("HOME", home);
  const auto answer = [](const std::string& startsAt, const std::string& name, bool details = false) {
    WhenModal([=](QWidget* modal) {
      auto* dialog = static_cast<QFileDialog*>(modal);
      EXPECT_EQ(dialog->directory().absolutePath().toStdString(), startsAt);
      if (details) {
        dialog->setViewMode(QFileDialog::Detail);
        dialog->setDirectory(QString::fromStdString(name).section(QLatin1Char('/'), 0, -2));
        for (int i = 0; i < 20; ++i) QApplication::processEvents();
        const QAbstractItemView* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        const QHeaderView* header = static_cast<const QTreeView*>(view)->header();
        for (int section = 1; section < header->count(); ++section) {  // all in sight, none cut off
          EXPECT_LE(header->sectionViewportPosition(section) + header->sectionSize(section), header->viewport()->width());
          EXPECT_GE(header->sectionSize(section), view->sizeHintForColumn(section)) << section;
        }
      }
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(name));
      QMetaObject::invokeMethod(dialog, "accept");
    });
  };
  answer(tree.Root(), tree.Path("docs/b.qln"), true);
  EXPECT_EQ(dialogs.OpenFile(), tree.Path("docs/b.qln"));
  answer(tree.Path("docs"), tree.Path("docs/c.qln"));
  EXPECT_EQ(dialogs.OpenFile(), tree.Path("docs/c.qln"));
  // The folder browser starts at home too, then at the folder chosen last.
  answer(tree.Root(), tree.Path("docs"));
  EXPECT_EQ(dialogs.BrowseForFolder("Pick", ""), tree.Path("docs"));
  WhenModal([](QWidget* modal) { QMetaObject::invokeMethod(modal, "accept"); });
  EXPECT_EQ(dialogs.BrowseForFolder("Pick", ""), tree.Path("docs"));
}

TEST(FileDialogs, LeaveNoNameSuggestionBehindWhenTheyClose) {
  TempTree tree;
  tree.File("suggested.qln");
  QtDialogProvider dialogs;
  for (const bool folderBrowser : {false, true}) {
    QWidget* suggestions = nullptr;
    WhenModal([&](QWidget* modal) {
      auto* name = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      suggestions = name->completer()->popup();
      suggestions->show();  // Enter is pressed while the suggestion shows
      name->setText(QString::fromStdString(folderBrowser ? tree.Root() : tree.Path("suggested.qln")));
      QMetaObject::invokeMethod(modal, "accept");
    });
    if (folderBrowser) {
      dialogs.BrowseForFolder("Folder", "");
    } else {
      dialogs.OpenFile();
    }
    ASSERT_NE(suggestions, nullptr);
    EXPECT_FALSE(suggestions->isVisible()) << folderBrowser;
  }
}
