#include "gui/QtMainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

#include "app/ActionTable.h"
#include "app/Hint.h"
#include "surfaces/Texts.h"
#include "documents/ListingFile.h"
#include "gui/DialogProvider.h"
#include "gui/Glyphs.h"
#include "platform/RegionalSettings.h"

namespace {

QString FromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int kRepaintIntervalMs = 100;   // at most 10 repaints a second during a run
constexpr int kAnnounceIntervalMs = 250;  // new rows cost the view a layout pass over all rows
constexpr const char* kMd5Hint = "... check to calculate the MD5 number. Will slow down the program!";
constexpr int kPanel3Width = 80;

// The user's choices that outlive a session.
QSettings UserSettings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Quillon", "Quillon"); }
constexpr const char* kDetectMovesKey = "Compare/DetectMoves";

}  // namespace

QtMainWindow::QtMainWindow(DialogProvider& dialogs, FolderSearch& search, const QString& helpFile, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), help_(helpFile) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowIcon(Glyphs::ProgramIcon());
  BuildActions();
  BuildMenu();
  BuildToolBar();
  BuildCentralArea();
  BuildStatusBar();

  resize(809, 570 + menuBar()->sizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  setTabOrder(md5_, edit_);
  setTabOrder(edit_, views_[0]);
  setTabOrder(views_[0], views_[1]);
  setTabOrder(views_[1], views_[2]);

  connect(qApp, &QApplication::focusChanged, this, [this] { UpdateEditActions(); });
  connect(edit_, &QLineEdit::selectionChanged, this, [this] { UpdateEditActions(); });
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { UpdateEditActions(); });

  lastWindowPaint_.start();
  lastStatusPaint_.start();
  lastAnnounce_.start();
  // FormCreate, then the constructor body of the logic.
  logic_ = std::make_unique<TMainWindow>(*this, search, RegionalSettings::FromUserLocale());
  logic_->FormCreate(this);
}

QtMainWindow::~QtMainWindow() {
  // Hiding a window that has the focus announces a focus change; by then this
  // object is half destroyed and must not hear it.
  disconnect(qApp, nullptr, this, nullptr);
  disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
  if (!destroyed_ && logic_) logic_->FormDestroy(this);
}

void QtMainWindow::BuildActions() {
  for (const ActionInfo& info : kActionTable) {
    auto* action = new QAction(QString::fromUtf8(info.caption), this);
    action->setObjectName(QString::fromLatin1(NameOf(info.id).data(), static_cast<qsizetype>(NameOf(info.id).size())));
    action->setProperty("category", QString::fromLatin1(info.category));
    if (*info.shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(info.shortcut)));
    if (info.glyph >= 0) action->setIcon(Glyphs::Glyph(info.glyph));
    action->setEnabled(info.enabledAtStart);
    enabled_[static_cast<int>(info.id)] = info.enabledAtStart;
    action->setVisible(info.visible);
    action->setToolTip(FromView(Hint::ShortPart(info.hint)));
    action->setStatusTip(FromView(Hint::LongPart(info.hint)));
    actions_[static_cast<int>(info.id)] = action;
  }
  const auto bind = [this](ActionId id, Handler handler) {
    connect(Action(id), &QAction::triggered, this, [this, handler] { Run(handler); });
  };
  bind(ActionId::FileNewAction, &TMainWindow::FileNewActionExecute);
  bind(ActionId::FileOpenAction, &TMainWindow::FileOpenActionExecute);
  bind(ActionId::FileSaveAction, &TMainWindow::FileSaveActionExecute);
  bind(ActionId::FileSaveAsAction, &TMainWindow::FileSaveAsActionExecute);
  bind(ActionId::FileSaveResultAction, &TMainWindow::FileSaveResultActionExecute);
  bind(ActionId::FileExitAction, &TMainWindow::FileExitActionExecute);
  bind(ActionId::EditListContentAction, &TMainWindow::EditListContentActionExecute);
  bind(ActionId::EditCompareContentAction, &TMainWindow::EditCompareContentActionExecute);
  bind(ActionId::EditRepeatLastAction, &TMainWindow::EditRepeatLastActionExecute);
  bind(ActionId::HelpProgramAction, &TMainWindow::HelpProgramActionExecute);
  bind(ActionId::HelpAboutAction, &TMainWindow::HelpAboutActionExecute);
  // The standard edit actions work on whichever line edit has the focus.
  const auto onEdit = [this](ActionId id, const std::function<void(QLineEdit*)>& operation) {
    connect(Action(id), &QAction::triggered, this, [operation] {
      if (auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget())) operation(line);
    });
  };
  onEdit(ActionId::EditCutAction, [](QLineEdit* line) { line->cut(); });
  onEdit(ActionId::EditCopyAction, [](QLineEdit* line) { line->copy(); });
  onEdit(ActionId::EditPasteAction, [](QLineEdit* line) { line->paste(); });
  // Detect Moved Files is a choice kept between sessions, not a command.
  QAction* moves = Action(ActionId::EditDetectMovesAction);
  moves->setCheckable(true);
  moves->setChecked(UserSettings().value(kDetectMovesKey, false).toBool());
  connect(moves, &QAction::toggled, this, [](bool checked) { UserSettings().setValue(kDetectMovesKey, checked); });
  for (QAction* action : actions_) addAction(action);
}

void QtMainWindow::BuildMenu() {
  menuBar()->setObjectName(QStringLiteral("MainMenu1"));
  const auto menu = [this](const char* name, const char* title, const char* hint) {
    QMenu* m = menuBar()->addMenu(QString::fromUtf8(title));
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setStatusTip(QString::fromUtf8(hint));
    return m;
  };
  QMenu* file = menu("File1", "&File", "File Commands");
  file->addAction(Action(ActionId::FileNewAction));
  file->addAction(Action(ActionId::FileOpenAction));
  file->addAction(Action(ActionId::FileSaveAction));
  file->addAction(Action(ActionId::FileSaveAsAction));
  file->addSeparator()->setObjectName(QStringLiteral("N1"));
  file->addAction(Action(ActionId::FileSaveResultAction));
  file->addSeparator()->setObjectName(QStringLiteral("N2"));
  file->addAction(Action(ActionId::FileExitAction));
  QMenu* edit = menu("Edit1", "&Edit", "Edit commands");
  edit->addAction(Action(ActionId::EditCutAction));
  edit->addAction(Action(ActionId::EditCopyAction));
  edit->addAction(Action(ActionId::EditPasteAction));
  edit->addSeparator()->setObjectName(QStringLiteral("N3"));
  edit->addAction(Action(ActionId::EditListContentAction));
  edit->addAction(Action(ActionId::EditCompareContentAction));
  edit->addAction(Action(ActionId::EditDetectMovesAction));
  edit->addSeparator()->setObjectName(QStringLiteral("N4"));
  edit->addAction(Action(ActionId::EditRepeatLastAction));
  QMenu* help = menu("Help1", "&Help", "Help topics");
  help->addAction(Action(ActionId::HelpProgramAction));
  help->addSeparator()->setObjectName(QStringLiteral("N5"));
  help->addAction(Action(ActionId::HelpAboutAction));
}

void QtMainWindow::BuildToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("ToolBar1"));
  bar->setObjectName(QStringLiteral("ToolBar1"));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setFixedHeight(30);
  bar->setIconSize(QSize(16, 16));
  bar->setContentsMargins(5, 0, 0, 0);
  const auto button = [bar, this](ActionId id, const char* name) {
    bar->addAction(Action(id));
    if (QWidget* widget = bar->widgetForAction(Action(id))) widget->setObjectName(QString::fromLatin1(name));
  };
  const auto separator = [bar](const char* name) {
    QAction* action = bar->addSeparator();
    action->setObjectName(QString::fromLatin1(name));
    if (QWidget* widget = bar->widgetForAction(action)) widget->setObjectName(QString::fromLatin1(name));
  };
  button(ActionId::FileNewAction, "ToolNewButton");
  button(ActionId::FileOpenAction, "ToolOpenButton");
  button(ActionId::FileSaveAction, "ToolSaveButton");
  separator("ToolSepButton1");
  button(ActionId::EditCutAction, "ToolCutButton");
  button(ActionId::EditCopyAction, "ToolCopyButton");
  button(ActionId::EditPasteAction, "ToolPasteButton");
  separator("ToolSepButton2");
  button(ActionId::EditListContentAction, "ToolListButton");
  button(ActionId::EditRepeatLastAction, "ToolRepeatButton");
  separator("ToolSepButton3");
  button(ActionId::EditCompareContentAction, "ToolCompareButton");
  separator("ToolSepButton4");
  button(ActionId::FileSaveResultAction, "ToolSaveResultButton");
  separator("ToolButton1");

  md5_ = new QCheckBox(QStringLiteral("MD5"), bar);
  md5_->setObjectName(QStringLiteral("MD5CheckBox"));
  md5_->setFixedSize(80, 22);
  md5_->setToolTip(QString::fromUtf8(kMd5Hint));
  md5_->setStatusTip(QString::fromUtf8(kMd5Hint));
  bar->addWidget(md5_);

  edit_ = new QLineEdit(bar);
  edit_->setObjectName(QStringLiteral("NonViewEdit"));
  edit_->setFixedSize(444, 22);
  edit_->setReadOnly(true);
  bar->addWidget(edit_);
}

QListView* QtMainWindow::MakePane(PaneId pane, const char* name) {
  auto* model = new PaneModel(this);
  auto* view = new QListView;
  view->setObjectName(QString::fromLatin1(name));
  view->setModel(model);
  view->setUniformItemSizes(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setTextElideMode(Qt::ElideNone);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(8);
  font.setBold(true);
  view->setFont(font);
  model->SetLineHeight(std::max(13, QFontMetrics(font).height()));
  // A palette, not a style sheet: style sheets make every row's paint slow.
  QPalette colours = view->palette();
  colours.setColor(QPalette::Base, Qt::black);
  colours.setColor(QPalette::Text, Qt::white);
  view->setPalette(colours);
  view->installEventFilter(this);
  views_[static_cast<int>(pane)] = view;
  models_[static_cast<int>(pane)] = model;

  static constexpr Handler kClicks[] = {&TMainWindow::ListBox1Click, &TMainWindow::ListBox2Click,
                                        &TMainWindow::ListBox3Click};
  const Handler click = kClicks[static_cast<int>(pane)];
  connect(view, &QListView::clicked, this, [this, click] { Run(click); });
  connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this, view, click] {
    // Keyboard selection; a mouse click is reported by clicked.
    if (view->hasFocus() && !(QApplication::mouseButtons() & Qt::LeftButton)) Run(click);
  });
  return view;
}

void QtMainWindow::BuildCentralArea() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  auto* panel = new QFrame(central);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setFixedHeight(30);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  QFont labelFont = font();
  labelFont.setBold(true);
  label1_ = new QLabel(QStringLiteral("Selected: ?"), panel);
  label1_->setObjectName(QStringLiteral("Label1"));
  label1_->setFont(labelFont);
  label1_->move(8, 8);
  label1_->adjustSize();
  label2_ = new QLabel(QStringLiteral("Loaded File: ?"), panel);
  label2_->setObjectName(QStringLiteral("Label2"));
  label2_->setFont(labelFont);
  label2_->move(408, 8);
  label2_->adjustSize();
  layout->addWidget(panel);

  auto* splitter2 = new QSplitter(Qt::Vertical, central);
  splitter2->setObjectName(QStringLiteral("Splitter2"));
  auto* splitter1 = new QSplitter(Qt::Horizontal, splitter2);
  splitter1->setObjectName(QStringLiteral("Splitter1"));
  for (QSplitter* splitter : {splitter1, splitter2}) {
    splitter->setHandleWidth(3);
    splitter->setChildrenCollapsible(false);
    splitter->setOpaqueResize(true);
  }
  splitter1->addWidget(MakePane(PaneId::ListBox1, "ListBox1"));
  splitter1->addWidget(MakePane(PaneId::ListBox2, "ListBox2"));
  splitter1->setStretchFactor(0, 0);
  splitter1->setStretchFactor(1, 1);
  splitter1->setSizes({402, 404});
  splitter2->addWidget(splitter1);
  splitter2->addWidget(MakePane(PaneId::ListBox3, "ListBox3"));
  splitter2->setStretchFactor(0, 1);
  splitter2->setStretchFactor(1, 0);
  splitter2->setSizes({391, 97});
  for (QListView* view : views_) view->setMinimumSize(1, 1);
  layout->addWidget(splitter2, 1);
  setCentralWidget(central);
}

void QtMainWindow::BuildStatusBar() {
  statusBar_ = new QWidget(centralWidget());
  statusBar_->setObjectName(QStringLiteral("StatusBar"));
  statusBar_->setFixedHeight(19);
  auto* layout = new QHBoxLayout(statusBar_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  static constexpr int kWidths[] = {100, 100, 170, kPanel3Width, 50};
  for (int i = 0; i < 5; ++i) {
    auto* label = new QLabel(statusBar_);
    label->setObjectName(QStringLiteral("Panel%1").arg(i));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(i < 4 ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
    if (i < 4) {
      label->setFixedWidth(kWidths[i]);
    } else {
      label->setMinimumWidth(kWidths[i]);
    }
    layout->addWidget(label, i < 4 ? 0 : 1);
    panels_[static_cast<std::size_t>(i)] = label;
  }
  static_cast<QVBoxLayout*>(centralWidget()->layout())->addWidget(statusBar_);
}

void QtMainWindow::Run(Handler handler) {
  ++running_;
  logic_->Dispatch([this, handler] { (logic_.get()->*handler)(this); });
  --running_;
  AnnouncePanes();
  if (running_ == 0 && closeRequested_) {
    closeRequested_ = false;
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

void QtMainWindow::AnnouncePanes() {
  for (PaneModel* model : models_) model->Announce();
}

void QtMainWindow::UpdateEditActions() {
  auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  const bool selection = line != nullptr && line->hasSelectedText();
  SetActionEnabled(ActionId::EditCutAction, selection);
  SetActionEnabled(ActionId::EditCopyAction, selection);
  const QClipboard* clipboard = QGuiApplication::clipboard();
  SetActionEnabled(ActionId::EditPasteAction, line != nullptr && !clipboard->text().isEmpty());
}

void QtMainWindow::ShowHint(const QString& text) {
  // Setting the text it already has changes nothing.
  if (panels_[4]->text() == text) return;
  panelTexts_[4] = text.toStdString();
  panels_[4]->setText(text);
}

bool QtMainWindow::event(QEvent* event) {
  // Hints go to panel 4, not to a status bar message.
  if (event->type() == QEvent::StatusTip) {
    ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QMainWindow::event(event);
}

bool QtMainWindow::eventFilter(QObject* watched, QEvent* event) {
  // A pane has no hint of its own: pointing at it empties panel 4.
  if (event->type() == QEvent::Enter) {
    for (QListView* view : views_)
      if (watched == view) ShowHint(QString());
  }
  return QMainWindow::eventFilter(watched, event);
}

void QtMainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LocaleChange && logic_) logic_->SetRegionalSettings(RegionalSettings::FromUserLocale());
  QMainWindow::changeEvent(event);
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
  // A command that is running finishes first; the window closes after it.
  if (running_ > 0) {
    closeRequested_ = true;
    event->ignore();
    return;
  }
  if (!destroyed_) {
    destroyed_ = true;
    logic_->FormDestroy(this);
  }
  event->accept();
}

// ---- Surfaces ----

void QtMainWindow::PaneClear(PaneId pane) { Model(pane)->Clear(); }

void QtMainWindow::PaneAddLine(PaneId pane, std::string_view line) { Model(pane)->AddLine(line); }

int QtMainWindow::PaneLineCount(PaneId pane) { return Model(pane)->Pane().Count(); }

std::string_view QtMainWindow::PaneLineAt(PaneId pane, int index) { return Model(pane)->Pane().LineAt(index); }

int QtMainWindow::PaneSelectedIndex(PaneId pane) {
  const QModelIndexList rows = PaneView(pane)->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void QtMainWindow::PaneSetScrollExtent(PaneId pane, int pixels) { Model(pane)->SetScrollExtent(pixels); }

int QtMainWindow::PaneFontSize(PaneId pane) { return PaneView(pane)->font().pointSize(); }

int QtMainWindow::PanePixelsPerInch(PaneId pane) { return PaneView(pane)->logicalDpiY(); }

void QtMainWindow::PaneLoadFromFile(PaneId pane, const std::string& fileName) { Model(pane)->LoadFromFile(fileName); }

void QtMainWindow::PaneSaveToFile(PaneId pane, const std::string& fileName) {
  WriteListingFile(Model(pane)->Pane().Lines().Lines(), fileName);
}

void QtMainWindow::StatusSetPanelText(int panel, std::string_view text) {
  // The comparison sets panel 3 once a line; an unchanged text costs nothing.
  std::string& shown = panelTexts_.at(static_cast<std::size_t>(panel));
  if (shown == text) return;
  shown.assign(text);
  QLabel* label = panels_[static_cast<std::size_t>(panel)];
  label->setText(FromView(text));
  // Panel 3 widens for the counts of a finished comparison, at the hints' cost.
  if (panel == 3)
    label->setFixedWidth(std::max(kPanel3Width, label->fontMetrics().horizontalAdvance(label->text()) + 8));
}

void QtMainWindow::StatusRefresh() {
  if (lastStatusPaint_.elapsed() < kRepaintIntervalMs) return;
  lastStatusPaint_.restart();
  statusBar_->repaint();
}

void QtMainWindow::SetCaption(std::string_view text) {
  if (caption_ == text) return;
  caption_.assign(text);
  setWindowTitle(FromView(text));
}

void QtMainWindow::RefreshWindow() {
  // Paints at most ten times a second; the run goes on in between. With
  // nothing changed the event loop has nothing to paint.
  if (lastWindowPaint_.elapsed() < kRepaintIntervalMs) return;
  lastWindowPaint_.restart();
  if (lastAnnounce_.elapsed() >= kAnnounceIntervalMs) {
    lastAnnounce_.restart();
    AnnouncePanes();
  }
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtMainWindow::SetLabelText(LabelId label, std::string_view text) {
  QLabel* target = label == LabelId::Label1 ? label1_ : label2_;
  target->setText(FromView(text));
  target->adjustSize();
}

void QtMainWindow::EditSetText(std::string_view text) { edit_->setText(FromView(text)); }

void QtMainWindow::EditFocus() { edit_->setFocus(Qt::OtherFocusReason); }

void QtMainWindow::EditSelectAll() { edit_->selectAll(); }

bool QtMainWindow::Md5Ticked() { return md5_->isChecked(); }

bool QtMainWindow::DetectMovesChecked() { return Action(ActionId::EditDetectMovesAction)->isChecked(); }

void QtMainWindow::SetActionEnabled(ActionId action, bool enabled) {
  enabled_[static_cast<int>(action)] = enabled;
  Action(action)->setEnabled(enabled);
}

void QtMainWindow::SetBusyCursor() {
  // A state, not a stack: busy twice and normal once leaves the normal pointer.
  if (busy_) return;
  busy_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtMainWindow::SetNormalCursor() {
  busy_ = false;
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
}

ConfirmAnswer QtMainWindow::AskConfirmation(std::string_view question) {
  return dialogs_.Confirm(this, FromView(question));
}

std::optional<std::string> QtMainWindow::RunOpenDialog() { return dialogs_.OpenFile(this); }

std::optional<std::string> QtMainWindow::RunSaveDialog() { return dialogs_.SaveFile(this); }

std::optional<std::string> QtMainWindow::RunFolderBrowser(std::string_view title) {
  return dialogs_.BrowseForFolder(this, FromView(title));
}

void QtMainWindow::ShowErrorBox(std::string_view message) {
  AnnouncePanes();
  dialogs_.ShowError(this, FromView(message));
}

void QtMainWindow::ShowAboutBox() { dialogs_.ShowAbout(this); }

void QtMainWindow::ShowHelpContents() { help_.ShowContents(); }

void QtMainWindow::QuitHelp() { help_.Quit(); }

void QtMainWindow::CloseWindow() {
  if (running_ > 0) {
    closeRequested_ = true;
  } else {
    close();
  }
}
