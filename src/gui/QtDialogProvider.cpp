#include "gui/QtDialogProvider.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "surfaces/Texts.h"
#include "gui/TAboutBox.h"

namespace {

std::unique_ptr<QFileDialog> MakeFileDialog(QFileDialog::AcceptMode mode) {
  auto dialog = std::make_unique<QFileDialog>();
  dialog->setAcceptMode(mode);
  dialog->setFileMode(QFileDialog::AnyFile);
  // The program asks its own overwrite question, and a missing file is its own error.
  dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setNameFilters(QtDialogProvider::FileTypes());
  dialog->selectNameFilter(QtDialogProvider::FileTypes().first());
  dialog->setDefaultSuffix(QtDialogProvider::ExtensionFor(QtDialogProvider::FileTypes().first()));
  QFileDialog* raw = dialog.get();
  QObject::connect(raw, &QFileDialog::filterSelected, raw,
                   [raw](const QString& filter) { raw->setDefaultSuffix(QtDialogProvider::ExtensionFor(filter)); });
  return dialog;
}

}  // namespace

QtDialogProvider::QtDialogProvider()
    : open_(MakeFileDialog(QFileDialog::AcceptOpen)), save_(MakeFileDialog(QFileDialog::AcceptSave)) {}

QtDialogProvider::~QtDialogProvider() = default;

QStringList QtDialogProvider::FileTypes() {
  return {QStringLiteral("Quillon Files (*.qln)"), QStringLiteral("Text File (*.txt)"),
          QStringLiteral("All Files (*.*)")};
}

QString QtDialogProvider::ExtensionFor(const QString& fileType) {
  if (fileType.contains(QStringLiteral("*.qln"))) return QStringLiteral("qln");
  if (fileType.contains(QStringLiteral("*.txt"))) return QStringLiteral("txt");
  return QStringLiteral("rtf");
}

std::optional<std::string> QtDialogProvider::Run(QFileDialog& dialog, QWidget* parent) {
  dialog.setParent(parent, dialog.windowFlags());
  const int answer = dialog.exec();
  dialog.setParent(nullptr, dialog.windowFlags());
  if (answer != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString chosen = dialog.selectedFiles().first();
  // The next use proposes the name and file type chosen now.
  dialog.selectFile(chosen);
  return QFile::encodeName(chosen).toStdString();  // the bytes the file system knows it by
}

std::optional<std::string> QtDialogProvider::OpenFile(QWidget* parent) { return Run(*open_, parent); }

std::optional<std::string> QtDialogProvider::SaveFile(QWidget* parent) { return Run(*save_, parent); }

std::optional<std::string> QtDialogProvider::BrowseForFolder(QWidget* parent, const QString& title) {
  const QString folder = QFileDialog::getExistingDirectory(parent, title);
  if (folder.isEmpty()) return std::nullopt;
  return QFile::encodeName(folder).toStdString();
}

ConfirmAnswer QtDialogProvider::Confirm(QWidget* parent, const QString& question) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), question,
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return ConfirmAnswer::Yes;
    case QMessageBox::No:
      return ConfirmAnswer::No;
    default:
      return ConfirmAnswer::Cancel;
  }
}

void QtDialogProvider::ShowError(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(Texts::kApplicationTitle), message, QMessageBox::Ok,
                  parent);
  box.exec();
}

void QtDialogProvider::ShowAbout(QWidget* parent) {
  TAboutBox box(parent);
  box.exec();
}
