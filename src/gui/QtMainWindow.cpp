#include "gui/QtMainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QUrl>
#include <QWindow>
#include <functional>

#include "app/ActionTable.h"
#include "app/Hint.h"
#include "app/PaneText.h"
#include "app/WindowLayout.h"
#include "surfaces/Texts.h"
#include "documents/ListingFile.h"
#include "engine/ExcludePatterns.h"
#include "gui/DialogProvider.h"
#include "gui/DisplayText.h"
#include "gui/Glyphs.h"
#include "platform/QuillonError.h"
#include "platform/RegionalSettings.h"
#include "platform/SigningKey.h"
#include "platform/SystemPaths.h"
#include "surfaces/ErrorText.h"

namespace {

QString FromView(std::string_view text) { return DisplayText::Of(text); }

constexpr int kRepaintIntervalMs = 100;  // new rows and figures at most 10 times a second during a run
constexpr int kPumpIntervalMs = 20;      // input, Escape and Stop above all, answered this often
constexpr int kPaintShare = 20;          // new rows take at most about a twentieth of a run
using WindowLayout::kMd5Hint;

// The user's choices that outlive a session.
QSettings UserSettings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Quillon", "Quillon"); }
constexpr const char* kDetectMovesKey = WindowLayout::kDetectMovesKey;
constexpr const char* kReuseDigestsKey = WindowLayout::kReuseDigests.settingKey;
constexpr const char* kExcludePatternsKey = WindowLayout::kExcludePatterns.settingKey;
constexpr const char* kSha256Key = WindowLayout::kSha256.settingKey;
constexpr const char* kSignKey = WindowLayout::kSignListings.settingKey;
constexpr const char* kPrivateKeyKey = WindowLayout::kPrivateKeyKey;
constexpr const char* kPublicKeyKey = WindowLayout::kVerifyKey.settingKey;
constexpr const char* kGeometryKey = "Window/Geometry";
constexpr const char* kSplitter1Key = "Window/Splitter1";
constexpr const char* kSplitter2Key = "Window/Splitter2";
constexpr const char* kLastFolderKey = WindowLayout::kLastFolderKey;
constexpr const char* kMd5Key = WindowLayout::kMd5Key;
constexpr int kFindPollMs = 50;  // hits are taken from the search this often
// Fonts that draw the control pictures of odd names, the first preferred.
const QStringList kPaneFamilies = {QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Symbola")};

// A status panel 0 to 3: as wide as laid out, or as its text, where there
// is room; narrower in a narrow window, which cuts its text off.
class StatusPanel : public QLabel {
 public:
  StatusPanel(int width, QWidget* parent) : QLabel(parent), width_(width) {}
  void SetWidth(int width) {
    if (width == width_) return;
    width_ = width;
    updateGeometry();
  }
  QSize sizeHint() const override { return {width_, QLabel::sizeHint().height()}; }
  QSize minimumSizeHint() const override { return {std::min(width_, 24), QLabel::minimumSizeHint().height()}; }

 private:
  int width_;
};

}  // namespace

QtMainWindow::QtMainWindow(DialogProvider& dialogs, FolderSearch& search, const QString& helpFile, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), help_(helpFile) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowIcon(Glyphs::ProgramIcon());
  BuildActions();
  BuildListingChoices();
  BuildMenu();
  BuildToolBar();
  BuildCentralArea();
  BuildStatusBar();
  BuildFindBar();

  resize(WindowLayout::kClientWidth, WindowLayout::kClientHeight + menuBar()->sizeHint().height());
  FitToScreen();
  RestoreSettings();
  setTabOrder(md5_, edit_);
  setTabOrder(edit_, views_[0]);
  setTabOrder(views_[0], views_[1]);
  setTabOrder(views_[1], views_[2]);

  connect(qApp, &QApplication::focusChanged, this, [this] { UpdateEditActions(); });
  connect(edit_, &QLineEdit::selectionChanged, this, [this] { UpdateEditActions(); });
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { UpdateEditActions(); });

  lastWindowPaint_.start();
  lastStatusPaint_.start();
  lastPump_.start();
  // FormCreate, then the constructor body of the logic.
  logic_ = std::make_unique<TMainWindow>(*this, search, RegionalSettings::FromUserLocale());
  logic_->FormCreate(this);
  ApplyRememberedChoices();
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
  bind(ActionId::EditCompareFolderAction, &TMainWindow::EditCompareFolderActionExecute);
  // Finding only moves through a pane; it is no command of the logic.
  connect(Action(ActionId::EditFindAction), &QAction::triggered, this, [this] { OpenFindBar(); });
  connect(Action(ActionId::EditFindNextAction), &QAction::triggered, this, [this] { StepFind(true); });
  connect(Action(ActionId::EditFindPreviousAction), &QAction::triggered, this, [this] { StepFind(false); });
  // Stop acts while a command runs, so it cannot wait for its turn as the
  // other commands do: it only raises the request the work polls for.
  connect(Action(ActionId::EditStopAction), &QAction::triggered, this, [this] { RequestStop(); });
  // The standard edit actions work on whichever line edit has the focus.
  const auto onEdit = [this](ActionId id, const std::function<void(QLineEdit*)>& operation) {
    connect(Action(id), &QAction::triggered, this, [this, operation] {
      if (working_) return;
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

void QtMainWindow::BuildListingChoices() {
  const QSettings settings = UserSettings();
  const auto make = [this](const WindowLayout::ChoiceInfo& choice) {
    auto* action = new QAction(QString::fromUtf8(choice.caption), this);
    action->setObjectName(QString::fromLatin1(choice.name));
    action->setToolTip(FromView(Hint::ShortPart(choice.hint)));
    action->setStatusTip(FromView(Hint::LongPart(choice.hint)));
    return action;
  };
  reuseDigests_ = make(WindowLayout::kReuseDigests);
  reuseDigests_->setCheckable(true);
  reuseDigests_->setChecked(settings.value(QString::fromLatin1(kReuseDigestsKey), false).toBool());
  connect(reuseDigests_, &QAction::toggled, this,
          [](bool checked) { UserSettings().setValue(QString::fromLatin1(kReuseDigestsKey), checked); });
  excludePatterns_ = make(WindowLayout::kExcludePatterns);
  excludeText_ = settings.value(QString::fromLatin1(kExcludePatternsKey), QString()).toString();
  connect(excludePatterns_, &QAction::triggered, this, [this] { EditExcludePatterns(); });
  // Beside the MD5 box, which keeps its meaning: it asks for digests, this says which.
  sha256_ = make(WindowLayout::kSha256);
  sha256_->setCheckable(true);
  sha256_->setChecked(settings.value(QString::fromLatin1(kSha256Key), false).toBool());
  connect(sha256_, &QAction::toggled, this, [this](bool checked) {
    UserSettings().setValue(QString::fromLatin1(kSha256Key), checked);
    logic_->SetDigestAlgorithm(checked ? DigestAlgorithm::Sha256 : DigestAlgorithm::Md5);
  });
  signListings_ = make(WindowLayout::kSignListings);
  signListings_->setCheckable(true);
  signListings_->setChecked(settings.value(QString::fromLatin1(kSignKey), false).toBool());
  // Triggered, not toggled: only the user's click asks for a key.
  connect(signListings_, &QAction::triggered, this, [this](bool checked) { ChooseSigning(checked); });
  verifyKey_ = make(WindowLayout::kVerifyKey);
  connect(verifyKey_, &QAction::triggered, this, [this] { ChooseVerifyKey(); });
}

void QtMainWindow::ApplyRememberedChoices() {
  const QSettings settings = UserSettings();
  logic_->SetDigestAlgorithm(sha256_->isChecked() ? DigestAlgorithm::Sha256 : DigestAlgorithm::Md5);
  const std::string privateKey = settings.value(QString::fromLatin1(kPrivateKeyKey)).toString().toStdString();
  logic_->SetSigningKey(signListings_->isChecked() ? privateKey : std::string());
  logic_->SetVerifyKey(settings.value(QString::fromLatin1(kPublicKeyKey)).toString().toStdString());
}

void QtMainWindow::ChooseSigning(bool on) {
  QSettings settings = UserSettings();
  std::string key = settings.value(QString::fromLatin1(kPrivateKeyKey)).toString().toStdString();
  if (on && (key.empty() || !SystemPaths::IsExistingFile(key))) {
    const auto chosen =
        dialogs_.ChooseKeyFile(this, QStringLiteral("Choose the private key that signs saved listings"));
    key = chosen.value_or(std::string());
  }
  if (on && !key.empty()) {
    // Refused now rather than at the next save.
    try {
      SigningKey::LoadPrivate(key);
    } catch (const QuillonError& error) {
      dialogs_.ShowError(this, QString::fromUtf8(ErrorText::ForErrorBox(error.what())));
      key.clear();
    }
  }
  on = on && !key.empty();
  signListings_->setChecked(on);
  settings.setValue(QString::fromLatin1(kSignKey), on);
  if (on) {
    settings.setValue(QString::fromLatin1(kPrivateKeyKey), QString::fromStdString(key));
    // Its public half beside it checks what it signs, unless another was chosen.
    const std::string publicKey = SigningKey::PublicFileOf(key);
    if (settings.value(QString::fromLatin1(kPublicKeyKey)).toString().isEmpty() &&
        SystemPaths::IsExistingFile(publicKey))
      settings.setValue(QString::fromLatin1(kPublicKeyKey), QString::fromStdString(publicKey));
  }
  settings.sync();
  ApplyRememberedChoices();
}

void QtMainWindow::ChooseVerifyKey() {
  const auto chosen = dialogs_.ChooseKeyFile(this, QStringLiteral("Choose the public key that checks signatures"));
  if (!chosen || chosen->empty()) return;
  try {
    SigningKey::LoadPublic(*chosen);
  } catch (const QuillonError& error) {
    dialogs_.ShowError(this, QString::fromUtf8(ErrorText::ForErrorBox(error.what())));
    return;
  }
  UserSettings().setValue(QString::fromLatin1(kPublicKeyKey), QString::fromStdString(*chosen));
  ApplyRememberedChoices();
}

void QtMainWindow::EditExcludePatterns() {
  QString text = excludeText_;
  for (;;) {
    const std::optional<QString> edited = dialogs_.EditExcludePatterns(this, text);
    if (!edited) return;
    text = *edited;
    try {
      // A malformed pattern is refused here, long before a listing.
      ExcludePatterns check(ExcludePatterns::FromLines(text.toStdString()));
    } catch (const QuillonError& error) {
      dialogs_.ShowError(this, QString::fromUtf8(error.what()));
      continue;
    }
    excludeText_ = text;
    UserSettings().setValue(QString::fromLatin1(kExcludePatternsKey), text);
    return;
  }
}

void QtMainWindow::BuildMenu() {
  menuBar()->setObjectName(QStringLiteral("MainMenu1"));
  const auto menu = [this](const char* name, const char* title, const char* hint) {
    QMenu* m = menuBar()->addMenu(QString::fromUtf8(title));
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setStatusTip(QString::fromUtf8(hint));
    return m;
  };
  for (const WindowLayout::MenuInfo& info : WindowLayout::kMenus) {
    QMenu* m = menu(info.name, info.title, info.hint);
    for (const WindowLayout::MenuItem& item : info.items) {
      switch (item.kind) {
        case WindowLayout::ItemKind::Action:
          m->addAction(Action(item.action));
          break;
        case WindowLayout::ItemKind::Separator:
          m->addSeparator()->setObjectName(QString::fromLatin1(item.name));
          break;
        case WindowLayout::ItemKind::ReuseDigests:
          m->addAction(reuseDigests_);
          break;
        case WindowLayout::ItemKind::ExcludePatterns:
          m->addAction(excludePatterns_);
          break;
        case WindowLayout::ItemKind::Sha256:
          m->addAction(sha256_);
          break;
        case WindowLayout::ItemKind::SignListings:
          m->addAction(signListings_);
          break;
        case WindowLayout::ItemKind::VerifyKey:
          m->addAction(verifyKey_);
          break;
      }
    }
  }
}

void QtMainWindow::BuildToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("ToolBar1"));
  bar->setObjectName(QStringLiteral("ToolBar1"));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setFixedHeight(WindowLayout::kToolBarHeight);
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
  for (const WindowLayout::MenuItem& item : WindowLayout::kToolItems) {
    if (item.kind == WindowLayout::ItemKind::Separator) {
      separator(item.name);
    } else {
      button(item.action, item.name);
    }
  }
  stopButton_ = bar->widgetForAction(Action(ActionId::EditStopAction));

  md5_ = new QCheckBox(QString::fromUtf8(WindowLayout::kMd5Caption), bar);
  md5_->setObjectName(QStringLiteral("MD5CheckBox"));
  md5_->setFixedSize(WindowLayout::kMd5Width, WindowLayout::kToolControlHeight);
  md5_->setToolTip(QString::fromUtf8(kMd5Hint));
  md5_->setStatusTip(QString::fromUtf8(kMd5Hint));
  bar->addWidget(md5_);

  edit_ = new QLineEdit(bar);
  edit_->setObjectName(QStringLiteral("NonViewEdit"));
  // As wide as laid out, narrower in a narrow window.
  edit_->setFixedHeight(WindowLayout::kToolControlHeight);
  edit_->setMinimumWidth(120);
  edit_->setMaximumWidth(WindowLayout::kEditWidth);
  edit_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  edit_->setReadOnly(true);
  bar->addWidget(edit_);
}

QListView* QtMainWindow::MakePane(PaneId pane, const char* name) {
  auto* model = new PaneModel(this);
  auto* view = new QListView;
  view->setObjectName(QString::fromLatin1(name));
  view->setModel(model);
  view->setUniformItemSizes(true);
  // Shift and Ctrl clicks select many lines, to copy them at once.
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view, &QWidget::customContextMenuRequested, this,
          [this, pane](const QPoint& at) { ShowPaneMenu(pane, at); });
  view->setTextElideMode(Qt::ElideNone);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setFamilies(kPaneFamilies + QStringList{font.family()});
  font.setPointSize(WindowLayout::kPaneFontPoints);
  font.setBold(true);
  view->setFont(font);
  model->SetLineHeight(std::max(WindowLayout::kPaneLineHeight, QFontMetrics(font).height()));
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
  panel->setFixedHeight(WindowLayout::kPanelHeight);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  QFont labelFont = font();
  labelFont.setBold(true);
  label1_ = new QLabel(QStringLiteral("Selected: ?"), panel);
  label1_->setObjectName(QStringLiteral("Label1"));
  label1_->setFont(labelFont);
  label1_->move(WindowLayout::kLabel1Left, WindowLayout::kLabelTop);
  label1_->adjustSize();
  label2_ = new QLabel(QStringLiteral("Loaded File: ?"), panel);
  label2_->setObjectName(QStringLiteral("Label2"));
  label2_->setFont(labelFont);
  label2_->move(WindowLayout::kLabel2Left, WindowLayout::kLabelTop);
  label2_->adjustSize();
  layout->addWidget(panel);

  auto* splitter2 = splitter2_ = new QSplitter(Qt::Vertical, central);
  splitter2->setObjectName(QStringLiteral("Splitter2"));
  auto* splitter1 = splitter1_ = new QSplitter(Qt::Horizontal, splitter2);
  splitter1->setObjectName(QStringLiteral("Splitter1"));
  for (QSplitter* splitter : {splitter1, splitter2}) {
    splitter->setHandleWidth(WindowLayout::kSplitterSize);
    splitter->setChildrenCollapsible(false);
    splitter->setOpaqueResize(true);
  }
  splitter1->addWidget(MakePane(PaneId::ListBox1, "ListBox1"));
  splitter1->addWidget(MakePane(PaneId::ListBox2, "ListBox2"));
  // Without stretch factors the panes keep their proportions as the window grows.
  splitter1->setSizes({WindowLayout::kListBox1Width, 404});
  splitter2->addWidget(splitter1);
  auto* results = new QWidget(splitter2);
  auto* resultsLayout = new QVBoxLayout(results);
  resultsLayout->setContentsMargins(0, 0, 0, 0);
  resultsLayout->setSpacing(0);
  resultsLayout->addWidget(BuildResultsBar());
  resultsLayout->addWidget(MakePane(PaneId::ListBox3, "ListBox3"), 1);
  splitter2->addWidget(results);
  splitter2->setSizes({391, WindowLayout::kListBox3Height});
  for (QListView* view : views_) view->setMinimumSize(1, 1);
  layout->addWidget(splitter2, 1);
  setCentralWidget(central);
}

void QtMainWindow::BuildStatusBar() {
  statusBar_ = new QWidget(centralWidget());
  statusBar_->setObjectName(QStringLiteral("StatusBar"));
  statusBar_->setFixedHeight(WindowLayout::kStatusBarHeight);
  auto* layout = new QHBoxLayout(statusBar_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  for (int i = 0; i < 5; ++i) {
    // Panel 4 takes what room is left, down to none in a narrow window.
    QLabel* label = i < 4 ? new StatusPanel(WindowLayout::kPanelWidths[static_cast<std::size_t>(i)], statusBar_) : new QLabel(statusBar_);
    label->setObjectName(QStringLiteral("Panel%1").arg(i));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(i < 4 ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
    if (i == 4) label->setMinimumWidth(0);
    layout->addWidget(label, i < 4 ? 0 : 1);
    if (i == 4) label->installEventFilter(this);
    panels_[static_cast<std::size_t>(i)] = label;
  }
  static_cast<QVBoxLayout*>(centralWidget()->layout())->addWidget(statusBar_);
}

void QtMainWindow::Run(Handler handler) {
  // A command asked for while work runs is dropped, not queued for later.
  if (working_) return;
  if (running_ == 0) unreadable_.Clear();
  ++running_;
  logic_->Dispatch([this, handler] { (logic_.get()->*handler)(this); });
  --running_;
  AnnouncePanes();
  if (resultsChanged_ && running_ == 0) RecountResults();
  if (running_ == 0 && closeRequested_) {
    closeRequested_ = false;
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

void QtMainWindow::AnnouncePanes() {
  for (int i = 0; i < 3; ++i) {
    // During work a pane follows its end until the user scrolls away from it.
    const QScrollBar* bar = views_[i]->verticalScrollBar();
    const bool follow = working_ && bar->value() >= bar->maximum() && !bar->isSliderDown();
    if (models_[i]->Announce() && follow) views_[i]->scrollToBottom();
  }
}

// ---- Work that may be stopped ----

void QtMainWindow::BeginWork() {
  working_ = true;
  // The listing choices hold from the start of a run to its end.
  reuseDigests_->setEnabled(false);
  excludePatterns_->setEnabled(false);
  stopRequested_ = false;
  figuresShown_ = figuresPending_ = false;
  figures_.Restart();
  for (PaneModel* model : models_) model->HoldAnnouncements(true);
  // Input is answered during the work; what it may not do is dropped here.
  qApp->installEventFilter(this);
  lastPump_.restart();
  lastWindowPaint_.restart();
  lastStatusPaint_.restart();
  announceInterval_ = kRepaintIntervalMs;
}

void QtMainWindow::EndWork() {
  // The last lines, still following the end; and input that came in at the
  // very end is dropped too, not left for later.
  AnnouncePanes();
  QCoreApplication::processEvents();
  qApp->removeEventFilter(this);
  working_ = false;
  reuseDigests_->setEnabled(true);
  excludePatterns_->setEnabled(true);
  stopRequested_ = false;
  for (PaneModel* model : models_) model->HoldAnnouncements(false);
  if (figuresShown_) {
    // The figures were shown in place of the panels' texts, which come back.
    for (std::size_t i = 0; i < 4; ++i) panels_[i]->setText(QString::fromStdString(panelTexts_[i]));
    panels_[3]->setToolTip(QString());
  }
  figuresShown_ = false;
}

void QtMainWindow::RequestStop() {
  if (working_) stopRequested_ = true;
}

bool QtMainWindow::StopRequested() {
  if (!working_) return false;
  if (lastPump_.elapsed() >= kPumpIntervalMs) Pump();
  return stopRequested_;
}

void QtMainWindow::ShowRunProgress(const RunProgress& progress) {
  progress_ = progress;
  figuresPending_ = working_;
}

void QtMainWindow::Pump() {
  lastPump_.restart();
  if (figuresPending_ && lastStatusPaint_.elapsed() >= kRepaintIntervalMs) {
    lastStatusPaint_.restart();
    ShowFigures();
  }
  if (lastWindowPaint_.elapsed() < announceInterval_) {
    QCoreApplication::processEvents();
    return;
  }
  // New rows cost the view a layout pass over all its rows, and a paint: the
  // pause between them grows with their cost, so that they take a small and
  // steady share of the run whatever its size.
  QElapsedTimer cost;
  cost.start();
  AnnouncePanes();
  QCoreApplication::processEvents();
  announceInterval_ = std::max<qint64>(kRepaintIntervalMs, cost.elapsed() * kPaintShare);
  lastWindowPaint_.restart();
}

void QtMainWindow::ShowFigures() {
  figuresPending_ = false;
  figuresShown_ = true;
  const std::array<std::string, 4> texts = figures_.PanelTexts(progress_, RunFigures::Clock::now());
  for (std::size_t i = 0; i < texts.size(); ++i) panels_[i]->setText(QString::fromStdString(texts[i]));
  panels_[3]->setToolTip(progress_.digests ? QString::fromStdString(RunFigures::RateTip(progress_)) : QString());
}

bool QtMainWindow::DropsDuringWork(QObject* watched, QEvent* event) {
  // Only this window waits for the run: another one, such as a warning shown
  // during the run or the help, answers as usual.
  if (const auto* widget = qobject_cast<const QWidget*>(watched); widget != nullptr && widget->window() != this)
    return false;
  if (const auto* handle = qobject_cast<const QWindow*>(watched); handle != nullptr && handle != windowHandle())
    return false;
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      // An open menu is steered by the keys; its commands are dropped in Run.
      if (QApplication::activePopupWidget() != nullptr) return false;
      const auto* key = static_cast<QKeyEvent*>(event);
      if (event->type() == QEvent::KeyPress && key->key() == Qt::Key_Escape) RequestStop();
      return true;
    }
    case QEvent::Shortcut:
      return watched != Action(ActionId::EditStopAction);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
      // A click reaches the window first and is handed on to the control
      // under the pointer; only there is it known whether it may act.
      if (qobject_cast<const QWindow*>(watched) != nullptr) return false;
      // Scroll bars, splitters, menus and the Stop button still answer.
      if (QApplication::activePopupWidget() != nullptr) return false;
      if (watched == stopButton_) return false;
      return !(qobject_cast<QScrollBar*>(watched) || qobject_cast<QSplitterHandle*>(watched) ||
               qobject_cast<QMenuBar*>(watched) || qobject_cast<QMenu*>(watched));
    }
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
      return true;
    default:
      return false;
  }
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
  // The hint replaces the count of unreadable items, and so their paths.
  unreadableTip_ = false;
  UpdateHintTip();
}

void QtMainWindow::UpdateHintTip() {
  // A hint too long for the panel is shown whole as the panel's tooltip.
  if (unreadableTip_) return;
  QLabel* panel = panels_[4];
  const bool cut = panel->fontMetrics().horizontalAdvance(panel->text()) > panel->contentsRect().width();
  panel->setToolTip(cut ? panel->text() : QString());
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
  if (watched == panels_[4] && event->type() == QEvent::Resize) UpdateHintTip();
  if (working_ && DropsDuringWork(watched, event)) return true;
  if (watched == findEdit_ && event->type() == QEvent::KeyPress) {
    // Enter goes to the next line found, Escape closes the bar.
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      StepFind(!(static_cast<QKeyEvent*>(event)->modifiers() & Qt::ShiftModifier));
      return true;
    }
    if (key == Qt::Key_Escape) {
      findBar_->hide();
      PaneView(findPane_)->setFocus(Qt::OtherFocusReason);
      return true;
    }
  }
  for (QListView* view : views_) {
    if (watched != view) continue;
    // A pane has no hint of its own: pointing at it empties panel 4.
    if (event->type() == QEvent::Enter) ShowHint(QString());
    // The list view would copy its current line on its own; only the Copy
    // command copies, and only from the read-only line.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
      return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void QtMainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LocaleChange && logic_) logic_->SetRegionalSettings(RegionalSettings::FromUserLocale());
  QMainWindow::changeEvent(event);
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
  // A command that is running stops or finishes first; the window closes after it.
  if (running_ > 0) {
    RequestStop();
    closeRequested_ = true;
    event->ignore();
    return;
  }
  if (!destroyed_) {
    destroyed_ = true;
    SaveSettings();
    logic_->FormDestroy(this);
  }
  event->accept();
}

// ---- Surfaces ----

void QtMainWindow::PaneClear(PaneId pane) {
  ForgetFind(pane);
  if (pane == PaneId::ListBox3) resultsChanged_ = true;
  Model(pane)->Clear();
}

void QtMainWindow::PaneAddLine(PaneId pane, std::string_view line) {
  if (pane == PaneId::ListBox3) resultsChanged_ = true;
  Model(pane)->AddLine(line);
}

int QtMainWindow::PaneLineCount(PaneId pane) { return Model(pane)->Pane().Count(); }

std::string_view QtMainWindow::PaneLineAt(PaneId pane, int index) { return Model(pane)->Pane().LineAt(index); }

int QtMainWindow::PaneSelectedIndex(PaneId pane) {
  // Of many selected lines, the one clicked last.
  const QItemSelectionModel* selection = PaneView(pane)->selectionModel();
  const QModelIndex current = selection->currentIndex();
  int row = -1;
  if (current.isValid() && selection->isSelected(current)) {
    row = current.row();
  } else if (const QModelIndexList rows = selection->selectedRows(); !rows.isEmpty()) {
    row = rows.first().row();
  }
  return Model(pane)->LineOfRow(row);
}

void QtMainWindow::PaneSetScrollExtent(PaneId pane, int pixels) { Model(pane)->SetScrollExtent(pixels); }

int QtMainWindow::PaneFontSize(PaneId pane) { return PaneView(pane)->font().pointSize(); }

int QtMainWindow::PanePixelsPerInch(PaneId pane) { return PaneView(pane)->logicalDpiY(); }

void QtMainWindow::PaneLoadFromFile(PaneId pane, const std::string& fileName) {
  // Another file starts at its first line, whatever was scrolled to before.
  QListView* view = PaneView(pane);
  struct Rewind {
    QListView* view;
    ~Rewind() {
      view->scrollToTop();
      view->horizontalScrollBar()->setValue(0);
    }
  } rewind{view};
  ForgetFind(pane);
  if (pane == PaneId::ListBox3) resultsChanged_ = true;
  Model(pane)->LoadFromFile(fileName);
}

void QtMainWindow::PaneSaveToFile(PaneId pane, const std::string& fileName) {
  WriteListingFile(Model(pane)->Pane().Lines().Lines(), fileName);
}

void QtMainWindow::StatusSetPanelText(int panel, std::string_view text) {
  // Panel 4 gets its text from a command only at the end of a listing run,
  // for the count of what could not be read: its tooltip names them.
  if (panel == 4) {
    QStringList tip;
    for (const std::string& line : unreadable_.TipLines()) tip << FromView(line);
    panels_[4]->setToolTip(tip.join(QLatin1Char('\n')));
    unreadableTip_ = !tip.isEmpty();
  }
  // The comparison sets panel 3 once a line; an unchanged text costs nothing.
  std::string& shown = panelTexts_.at(static_cast<std::size_t>(panel));
  if (shown == text) return;
  shown.assign(text);
  QLabel* label = panels_[static_cast<std::size_t>(panel)];
  label->setText(FromView(text));
  // A panel widens for a longer text, such as the counts of a finished
  // comparison or of a stopped listing, at the hints' cost.
  if (panel < 4)
    static_cast<StatusPanel*>(label)->SetWidth(
        std::max(WindowLayout::kPanelWidths[static_cast<std::size_t>(panel)], label->fontMetrics().horizontalAdvance(label->text()) + 8));
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
  // The run polls for a stop far more often than it refreshes; this only
  // makes sure of a pump when it is due.
  if (lastPump_.elapsed() >= kPumpIntervalMs) Pump();
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

bool QtMainWindow::ReuseDigestsChecked() { return reuseDigests_->isChecked(); }

std::vector<std::string> QtMainWindow::ExcludePatternList() {
  return ExcludePatterns::FromLines(excludeText_.toStdString());
}

void QtMainWindow::ShowWarning(std::string_view text) { dialogs_.ShowWarning(this, FromView(text)); }

void QtMainWindow::SetActionEnabled(ActionId action, bool enabled) {
  enabled_[static_cast<int>(action)] = enabled;
  Action(action)->setEnabled(enabled);
  if (action == ActionId::EditStopAction && enabled != working_) {
    if (enabled) {
      BeginWork();
    } else {
      EndWork();
    }
  }
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
  return RunFolderBrowserAt(title, std::string());
}

std::optional<std::string> QtMainWindow::RunFolderBrowserAt(std::string_view title, const std::string& start) {
  // Without a suggestion, the folder listed last, in this session or before.
  const QString from = start.empty() ? UserSettings().value(QString::fromLatin1(kLastFolderKey)).toString()
                                     : QString::fromStdString(start);
  auto chosen = dialogs_.BrowseForFolder(this, FromView(title), from);
  if (chosen && !chosen->empty()) UserSettings().setValue(QString::fromLatin1(kLastFolderKey), QString::fromStdString(*chosen));
  return chosen;
}

std::optional<ResultsFileChoice> QtMainWindow::RunSaveResultsDialog() { return dialogs_.SaveResultsFile(this); }

void QtMainWindow::ReportUnreadable(UnreadableKind, std::string_view path, std::string_view) {
  // Shown when the run ends; the window does not stop the run for each one.
  unreadable_.Add(path);
}

void QtMainWindow::ShowErrorBox(std::string_view message) {
  AnnouncePanes();
  dialogs_.ShowError(this, FromView(message));
}

void QtMainWindow::ShowAboutBox() { dialogs_.ShowAbout(this); }

void QtMainWindow::ShowHelpContents() { help_.ShowContents(this); }

void QtMainWindow::QuitHelp() { help_.Quit(); }

void QtMainWindow::CloseWindow() {
  if (running_ > 0) {
    closeRequested_ = true;
  } else {
    close();
  }
}

// ---- Views beside the commands ----

void QtMainWindow::FitToScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  // The first size as laid out, but never beyond the screen with the frame
  // and title bar the window manager adds.
  const QRect room = screen->availableGeometry();
  resize(size().boundedTo(room.size() - QSize(16, 48)).expandedTo(minimumSizeHint()));
  QRect frame(QPoint(), size() + QSize(16, 48));
  frame.moveCenter(room.center());
  move(frame.topLeft().x() + 8, std::max(room.top(), frame.top()) + 40);
}

void QtMainWindow::RestoreSettings() {
  const QSettings settings = UserSettings();
  if (settings.contains(QString::fromLatin1(kGeometryKey)))
    restoreGeometry(settings.value(QString::fromLatin1(kGeometryKey)).toByteArray());
  splitter1_->restoreState(settings.value(QString::fromLatin1(kSplitter1Key)).toByteArray());
  splitter2_->restoreState(settings.value(QString::fromLatin1(kSplitter2Key)).toByteArray());
  md5_->setChecked(settings.value(QString::fromLatin1(kMd5Key), false).toBool());
}

void QtMainWindow::SaveSettings() const {
  QSettings settings = UserSettings();
  settings.setValue(QString::fromLatin1(kGeometryKey), saveGeometry());
  settings.setValue(QString::fromLatin1(kSplitter1Key), splitter1_->saveState());
  settings.setValue(QString::fromLatin1(kSplitter2Key), splitter2_->saveState());
  settings.setValue(QString::fromLatin1(kMd5Key), md5_->isChecked());
}

QWidget* QtMainWindow::BuildResultsBar() {
  resultsBar_ = new QWidget;
  resultsBar_->setObjectName(QStringLiteral("ResultsBar"));
  auto* layout = new QHBoxLayout(resultsBar_);
  layout->setContentsMargins(2, 1, 2, 1);
  layout->setSpacing(4);
  for (const ChangeKind kind : ResultFilter::kKinds) {
    auto* toggle = new QToolButton(resultsBar_);
    toggle->setCheckable(true);
    toggle->setChecked(true);
    toggle->setText(QString::fromStdString(filter_.Caption(kind)));
    toggle->setToolTip(QString::fromUtf8(WindowLayout::kKindToggleTip));
    connect(toggle, &QToolButton::toggled, this, [this, kind](bool shown) {
      filter_.Show(kind, shown);
      ApplyResultFilter();
    });
    layout->addWidget(toggle);
    kindToggles_[static_cast<std::size_t>(kind)] = toggle;
  }
  oldLine_ = new QLabel(resultsBar_);
  oldLine_->setObjectName(QStringLiteral("OldLineView"));
  oldLine_->setTextFormat(Qt::RichText);
  oldLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  oldLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->addWidget(oldLine_, 1);
  resultsBar_->hide();
  return resultsBar_;
}

void QtMainWindow::RecountResults() {
  resultsChanged_ = false;
  const std::vector<std::string_view>& lines = Model(PaneId::ListBox3)->Pane().Lines().Lines();
  filter_.Count(lines);
  bool any = false;
  for (const ChangeKind kind : ResultFilter::kKinds) {
    kindToggles_[static_cast<std::size_t>(kind)]->setText(QString::fromStdString(filter_.Caption(kind)));
    any = any || filter_.CountOf(kind) > 0;
  }
  resultsBar_->setVisible(any);
  ApplyResultFilter();
}

void QtMainWindow::ApplyResultFilter() {
  PaneModel* model = Model(PaneId::ListBox3);
  if (filter_.ShowsAll()) {
    model->ShowAllRows();
  } else {
    model->ShowRows(filter_.VisibleRows(model->Pane().Lines().Lines()));
  }
}

void QtMainWindow::ShowOldLine(std::string_view line, const std::vector<MarkedField>& changed) {
  if (line.empty()) {
    oldLine_->clear();
    oldLine_->setToolTip(QString());
    return;
  }
  // The old line, its changed fields in red.
  QString text = QStringLiteral("<span style=\"font-family:monospace\">") + QString::fromUtf8(WindowLayout::kOldLinePrefix);
  std::size_t at = 0;
  const auto plain = [&](std::size_t end) {
    if (end > at) text += FromView(line.substr(at, end - at)).toHtmlEscaped();
    at = std::max(at, end);
  };
  for (const MarkedField& field : changed) {
    plain(field.offset);
    text += QStringLiteral("<b style=\"color:#d00000\">") +
            FromView(line.substr(field.offset, field.length)).toHtmlEscaped() + QStringLiteral("</b>");
    at = field.offset + field.length;
  }
  plain(line.size());
  oldLine_->setText(text + QStringLiteral("</span>"));
  oldLine_->setToolTip(QString::fromStdString(PaneText::ChangedNames(changed)));
}

std::vector<std::string_view> QtMainWindow::SelectedLines(PaneId pane) const {
  std::vector<int> lines;
  for (const QModelIndex& index : PaneView(pane)->selectionModel()->selectedRows())
    lines.push_back(Model(pane)->LineOfRow(index.row()));
  std::sort(lines.begin(), lines.end());
  std::vector<std::string_view> texts;
  for (const int line : lines) texts.push_back(Model(pane)->Pane().LineAt(line));
  return texts;
}

void QtMainWindow::ShowPaneMenu(PaneId pane, const QPoint& at) {
  if (working_) return;
  const std::vector<std::string_view> lines = SelectedLines(pane);
  if (lines.empty()) return;
  const int current = PaneSelectedIndex(pane);
  const auto folder = PaneText::ContainingFolder(Model(pane)->Pane().LineAt(current < 0 ? 0 : current));
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("PaneMenu"));
  menu.addAction(QString::fromUtf8(WindowLayout::kPaneMenuItems[0]), this,
                 [lines] { QGuiApplication::clipboard()->setText(DisplayText::Of(PaneText::Joined(lines))); });
  QAction* paths = menu.addAction(QString::fromUtf8(WindowLayout::kPaneMenuItems[1]), this, [lines] {
    QGuiApplication::clipboard()->setText(DisplayText::Of(PaneText::Paths(lines)));
  });
  paths->setEnabled(!PaneText::Paths(lines).empty());
  QAction* open = menu.addAction(QString::fromUtf8(WindowLayout::kPaneMenuItems[2]), this, [folder] {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(*folder))));
  });
  open->setEnabled(folder.has_value());
  menu.exec(PaneView(pane)->viewport()->mapToGlobal(at));
}

// ---- Find in a pane ----

void QtMainWindow::BuildFindBar() {
  findBar_ = new QFrame(this);
  findBar_->setObjectName(QStringLiteral("FindBar"));
  static_cast<QFrame*>(findBar_)->setFrameStyle(QFrame::Panel | QFrame::Raised);
  findBar_->setAutoFillBackground(true);
  auto* layout = new QHBoxLayout(findBar_);
  layout->setContentsMargins(4, 2, 4, 2);
  findEdit_ = new QLineEdit(findBar_);
  findEdit_->setObjectName(QStringLiteral("FindEdit"));
  findEdit_->setPlaceholderText(QString::fromUtf8(WindowLayout::kFindPlaceholder));
  findEdit_->setMinimumWidth(160);
  findEdit_->installEventFilter(this);
  findCount_ = new QLabel(findBar_);
  findCount_->setObjectName(QStringLiteral("FindCount"));
  findCount_->setMinimumWidth(90);
  layout->addWidget(findEdit_);
  layout->addWidget(findCount_);
  for (const ActionId id : {ActionId::EditFindPreviousAction, ActionId::EditFindNextAction}) {
    auto* step = new QToolButton(findBar_);
    step->setText(id == ActionId::EditFindNextAction ? QStringLiteral("\u25BC") : QStringLiteral("\u25B2"));
    step->setToolTip(Action(id)->toolTip());
    connect(step, &QToolButton::clicked, Action(id), &QAction::trigger);
    layout->addWidget(step);
  }
  findBar_->hide();
  findTimer_ = new QTimer(this);
  findTimer_->setInterval(kFindPollMs);
  connect(findTimer_, &QTimer::timeout, this, [this] { TakeHits(); });
  connect(findEdit_, &QLineEdit::textChanged, this, [this] { StartFind(); });
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    for (int i = 0; i < 3; ++i)
      if (now == views_[static_cast<std::size_t>(i)]) lastPane_ = static_cast<PaneId>(i);
  });
}

void QtMainWindow::OpenFindBar() {
  if (working_) return;
  const PaneId pane = lastPane_;
  QListView* view = PaneView(pane);
  if (findPane_ != pane || !findBar_->isVisible()) {
    ForgetFind(findPane_);
    findPane_ = pane;
    findBar_->setParent(view);
    findBar_->adjustSize();
    findBar_->move(std::max(0, view->width() - findBar_->width() - 20), 2);
    StartFind();
  }
  findBar_->show();
  findBar_->raise();
  findEdit_->setFocus(Qt::ShortcutFocusReason);
  findEdit_->selectAll();
}

void QtMainWindow::StartFind() {
  findJumped_ = false;
  finder_.Restart(Model(findPane_)->Pane().Lines().Lines(), findEdit_->text().toStdString());
  ShowFindCount(0);
  if (!finder_.Done()) findTimer_->start();
}

void QtMainWindow::TakeHits() {
  if (!finder_.Poll()) return;
  if (finder_.Done()) findTimer_->stop();
  // The first hit is gone to as soon as it is found.
  if (!findJumped_ && !finder_.Hits().empty()) {
    findJumped_ = true;
    StepFind(true);
    return;
  }
  ShowFindCount(finder_.PlaceOf(PaneSelectedIndex(findPane_)));
}

void QtMainWindow::FinishFind() {
  while (!finder_.Done()) {
    QThread::msleep(1);
    TakeHits();
  }
}

void QtMainWindow::ShowFindCount(int place) { findCount_->setText(QString::fromStdString(finder_.CountText(place))); }

void QtMainWindow::StepFind(bool forward) {
  if (working_ || finder_.Hits().empty()) return;
  PaneModel* model = Model(findPane_);
  // Lines the filter hides are passed over.
  const int line = finder_.StepShown(PaneSelectedIndex(findPane_), forward,
                                     [model](int at) { return model->RowOfLine(at) >= 0; });
  const int row = model->RowOfLine(line);
  if (row < 0) return;
  QListView* view = PaneView(findPane_);
  const QModelIndex index = model->index(row);
  view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  view->scrollTo(index, QAbstractItemView::PositionAtCenter);
  ShowFindCount(finder_.PlaceOf(line));
}

void QtMainWindow::ForgetFind(PaneId pane) {
  // The search holds views of the pane's lines, which go now.
  if (pane != findPane_) return;
  finder_.Forget();
  findTimer_->stop();
  if (findBar_->isVisible()) findCount_->setText(QString());
}
