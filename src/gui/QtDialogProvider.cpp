#include "gui/QtDialogProvider.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialog>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLineEdit>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "app/DialogFileTypes.h"
#include "app/WindowLayout.h"
#include "gui/DisplayText.h"
#include "surfaces/Texts.h"
#include "gui/TAboutBox.h"

namespace {

// A dialog's first size: wide enough for every column of its detail view.
constexpr QSize kDialogSize(780, 480);

std::unique_ptr<QFileDialog> MakeDialog() {
  auto dialog = std::make_unique<QFileDialog>();
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  // The first use starts at home, not in whatever folder the program was started from.
  dialog->setDirectory(QDir::homePath());
  dialog->resize(kDialogSize);
  // The name takes what room is left; size, type and date are never cut off.
  if (auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
  }
  return dialog;
}

QString ExtensionFor(const QString& fileType) {
  return QString::fromUtf8(DialogFileTypes::ExtensionFor(fileType.toStdString()).data());
}

std::unique_ptr<QFileDialog> MakeFileDialog(QFileDialog::AcceptMode mode, bool results = false) {
  auto dialog = MakeDialog();
  dialog->setAcceptMode(mode);
  dialog->setFileMode(QFileDialog::AnyFile);
  // The program asks its own overwrite question, and a missing file is its own error.
  dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog->setNameFilters(QtDialogProvider::FileTypes(results));
  dialog->selectNameFilter(QtDialogProvider::FileTypes().first());
  // A name typed to open is opened as typed; only a new file gets the
  // extension of its type.
  if (mode == QFileDialog::AcceptOpen) return dialog;
  dialog->setDefaultSuffix(ExtensionFor(QtDialogProvider::FileTypes().first()));
  QFileDialog* raw = dialog.get();
  QObject::connect(raw, &QFileDialog::filterSelected, raw,
                   [raw](const QString& filter) { raw->setDefaultSuffix(ExtensionFor(filter)); });
  return dialog;
}

std::unique_ptr<QFileDialog> MakeFolderBrowser() {
  auto dialog = MakeDialog();
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setOption(QFileDialog::ShowDirsOnly, true);
  return dialog;
}

// A name suggestion still showing when the dialog closed would stay over the
// main window and take its keys.
void CloseSuggestions(QFileDialog& dialog) {
  for (QCompleter* completer : dialog.findChildren<QCompleter*>()) {
    if (completer->popup() != nullptr && completer->popup()->isVisible()) completer->popup()->hide();
  }
}

}  // namespace

QtDialogProvider::QtDialogProvider()
    : open_(MakeFileDialog(QFileDialog::AcceptOpen)),
      save_(MakeFileDialog(QFileDialog::AcceptSave)),
      results_(MakeFileDialog(QFileDialog::AcceptSave, true)),
      browse_(MakeFolderBrowser()) {}

QtDialogProvider::~QtDialogProvider() = default;

QStringList QtDialogProvider::FileTypes(bool results) {
  QStringList types;
  for (const Texts::FileType& type : DialogFileTypes::Of(results)) types << QString::fromUtf8(type.name);
  return types;
}

std::optional<std::string> QtDialogProvider::Run(QFileDialog& dialog, Next next) {
  dialog.setParent(owner_, dialog.windowFlags());
  const int answer = dialog.exec();
  CloseSuggestions(dialog);
  dialog.setParent(nullptr, dialog.windowFlags());
  if (answer != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  QString chosen = dialog.selectedFiles().first();
  // A name typed without its extension, when only the name with it exists.
  const QString withExtension = chosen + QLatin1Char('.') + ExtensionFor(dialog.selectedNameFilter());
  if (dialog.acceptMode() == QFileDialog::AcceptOpen && !QFileInfo::exists(chosen) && QFileInfo::exists(withExtension))
    chosen = withExtension;
  // The next use proposes the name and file type chosen now, or starts in
  // the folder chosen now with the name field empty: results are a new
  // document each time, and a folder's own name in the field of a folder
  // browser would name a folder inside it.
  if (next == Next::SameName) {
    dialog.selectFile(chosen);
  } else {
    dialog.setDirectory(next == Next::InFolder ? chosen : QFileInfo(chosen).absolutePath());
    if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->clear();
  }
  return QFile::encodeName(chosen).toStdString();  // the bytes the file system knows it by
}

std::optional<std::string> QtDialogProvider::OpenFile() { return Run(*open_); }

std::optional<std::string> QtDialogProvider::SaveFile() { return Run(*save_); }

std::optional<std::string> QtDialogProvider::ChooseKeyFile(std::string_view title) {
  const QString chosen =
      QFileDialog::getOpenFileName(owner_, DisplayText::Of(title), QString(), QStringLiteral("All files (*)"));
  if (chosen.isEmpty()) return std::nullopt;
  return QFile::encodeName(chosen).toStdString();
}

std::optional<ResultsFileChoice> QtDialogProvider::SaveResultsFile() {
  auto name = Run(*results_, Next::SameFolder);
  if (!name) return std::nullopt;
  const auto type = results_->nameFilters().indexOf(results_->selectedNameFilter());
  return ResultsFileChoice{std::move(*name), DialogFileTypes::FormatOf(static_cast<std::size_t>(type))};
}

std::optional<std::string> QtDialogProvider::BrowseForFolder(std::string_view title, const std::string& start) {
  browse_->setWindowTitle(DisplayText::Of(title));
  const QString folder = QString::fromStdString(start);
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) browse_->setDirectory(folder);
  // The name field is empty, so that Choose takes the folder shown; the
  // next run starts in the folder chosen now.
  if (auto* name = browse_->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->clear();
  return Run(*browse_, Next::InFolder);
}

ConfirmAnswer QtDialogProvider::Confirm(std::string_view question) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), DisplayText::Of(question),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, owner_);
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

void QtDialogProvider::ShowError(std::string_view message) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(Texts::kApplicationTitle), DisplayText::Of(message),
                  QMessageBox::Ok, owner_);
  box.exec();
}

void QtDialogProvider::ShowAbout() {
  TAboutBox box(owner_);
  box.exec();
}

void QtDialogProvider::ShowWarning(std::string_view message) {
  auto* box = new QMessageBox(QMessageBox::Warning, QString::fromUtf8(Texts::kApplicationTitle),
                              DisplayText::Of(message), QMessageBox::Ok, owner_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

std::optional<std::string> QtDialogProvider::EditExcludePatterns(const std::string& patterns) {
  QDialog dialog(owner_);
  dialog.setObjectName(QStringLiteral("ExcludePatternsDialog"));
  dialog.setWindowTitle(QString::fromUtf8(WindowLayout::kExcludePatternsTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* help = new QLabel(QString::fromUtf8(WindowLayout::kExcludePatternsHelp), &dialog);
  help->setWordWrap(true);
  layout->addWidget(help);
  auto* edit = new QPlainTextEdit(QString::fromStdString(patterns), &dialog);
  edit->setObjectName(QStringLiteral("ExcludePatternsEdit"));
  edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(edit);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.resize(460, 300);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return edit->toPlainText().toStdString();
}

bool QtDialogProvider::OpenFolder(const std::string& folder) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(folder))));
}
