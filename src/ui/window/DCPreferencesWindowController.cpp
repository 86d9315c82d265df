#include "DCPreferencesWindowController.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "DCAboutWindowController.h"
#include "core/DCLog.h"
#include "ui/controls/Icons.h"

using Pane = PreferencesModel::Pane;
using Picture = PreferencesModel::Picture;

namespace {

// A row of exclusive choices whose ids are their columns.
QButtonGroup *addChoices(QWidget *parent, QBoxLayout *row, const QStringList &titles, const QString &name) {
    auto *group = new QButtonGroup(parent);
    group->setObjectName(name);
    for (int i = 0; i < titles.size(); ++i) {
        auto *button = new QRadioButton(titles[i], parent);
        group->addButton(button, i);
        row->addWidget(button);
    }
    row->addStretch();
    return group;
}

void check(QButtonGroup *group, int id) {
    if (QAbstractButton *button = group->button(id)) button->setChecked(true);
}

QString defaultFolderChoice(QWidget *parent, const QString &start) {
    return QFileDialog::getExistingDirectory(parent, QObject::tr("Choose the Photo Library Folder"), start,
                                             QFileDialog::ShowDirsOnly);
}

} // namespace

DCPreferencesWindowController::DCPreferencesWindowController(PreferencesModel::Dependencies dependencies,
                                                             QWidget *parent)
    : QMainWindow(parent), model_(std::make_unique<PreferencesModel>(std::move(dependencies))),
      chooseFolder_(defaultFolderChoice) {
    setWindowTitle(tr("Preferences"));
    setObjectName(QStringLiteral("preferencesWindow"));
    // One pane shown at a time; the hidden ones take no room, so the window fits the one shown.
    auto *content = new QWidget(this);
    auto *column = new QVBoxLayout(content);
    panes_ = {buildGeneralPane(), buildImagePane(), buildSystemPane()};
    for (QWidget *pane : panes_)
        column->addWidget(pane);
    setCentralWidget(content);
    buildToolbar();

    connect(model_.get(), &PreferencesModel::panesChanged, this, &DCPreferencesWindowController::mirrorPanes);
    connect(model_.get(), &PreferencesModel::camerasChanged, this,
            &DCPreferencesWindowController::mirrorCameras);
    connect(model_.get(), &PreferencesModel::libraryPathChanged, this,
            [this] { pathField_->setText(model_->libraryPath()); });
    connect(model_.get(), &PreferencesModel::serverAddressChanged, this,
            &DCPreferencesWindowController::showServerAddress);
}

DCPreferencesWindowController::~DCPreferencesWindowController() = default;

void DCPreferencesWindowController::buildToolbar() {
    toolbar_ = new QToolBar(tr("Preferences"), this);
    toolbar_->setObjectName(QStringLiteral("PreferencesToolbarIdentifier"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    addToolBar(Qt::TopToolBarArea, toolbar_);
    auto *group = new QActionGroup(this);
    const struct {
        Pane pane;
        QString label;
        QString image;
    } items[] = {{Pane::General, tr("General"), QStringLiteral("General")},
                 {Pane::ImageAdjustment, tr("Image Adjustment"), QStringLiteral("ProgrammableKey")},
                 {Pane::System, tr("System"), QStringLiteral("System")}};
    for (const auto &item : items) {
        QAction *action = toolbar_->addAction(Icons::icon(item.image), item.label);
        action->setObjectName(PreferencesModel::identifier(item.pane));
        action->setCheckable(true);
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, pane = item.pane] { model_->changePreferenceView(pane); });
        paneActions_[static_cast<int>(item.pane)] = action;
    }
}

QWidget *DCPreferencesWindowController::buildGeneralPane() {
    auto *pane = new QWidget(this);
    auto *form = new QFormLayout(pane);

    auto *folderRow = new QHBoxLayout;
    pathField_ = new QLineEdit(pane);
    pathField_->setObjectName(QStringLiteral("pathField"));
    pathField_->setReadOnly(true);
    pathField_->setMinimumWidth(260);
    auto *choose = new QPushButton(tr("Choose…"), pane);
    choose->setObjectName(QStringLiteral("choosePhotoLibrary"));
    connect(choose, &QPushButton::clicked, this, &DCPreferencesWindowController::setPhotoLibraryLocation);
    folderRow->addWidget(pathField_, 1);
    folderRow->addWidget(choose);
    form->addRow(tr("Photo library:"), folderRow);

    auto *nameRow = new QHBoxLayout;
    nameFormat_ = addChoices(pane, nameRow, {tr("Date"), tr("Custom prefix:")}, QStringLiteral("nameFormat"));
    prefixField_ = new QLineEdit(pane);
    prefixField_->setObjectName(QStringLiteral("prefixField"));
    prefixField_->setMaxLength(64);
    nameRow->insertWidget(2, prefixField_, 1);
    connect(nameFormat_, &QButtonGroup::idClicked, this,
            [this](int row) { model_->setPhotoNameFormat(row, prefixField_->text()); });
    connect(prefixField_, &QLineEdit::editingFinished, this, &DCPreferencesWindowController::applyPrefix);
    form->addRow(tr("Photo names:"), nameRow);

    focusSound_ = new QCheckBox(tr("Play a sound when the camera has focused"), pane);
    focusSound_->setObjectName(QStringLiteral("focusSoundEffect"));
    connect(focusSound_, &QCheckBox::clicked, model_.get(), &PreferencesModel::toggleFocusSoundEffect);
    snapshotSound_ = new QCheckBox(tr("Play a sound when a photo is taken"), pane);
    snapshotSound_->setObjectName(QStringLiteral("snapshotSoundEffect"));
    connect(snapshotSound_, &QCheckBox::clicked, model_.get(), &PreferencesModel::toggleSnapshotSoundEffect);
    form->addRow(tr("Sounds:"), focusSound_);
    form->addRow(QString(), snapshotSound_);

    auto *previewRow = new QHBoxLayout;
    instantPreview_ = addChoices(pane, previewRow, {tr("Off"), tr("2 seconds"), tr("4 seconds")},
                                 QStringLiteral("instantPreview"));
    connect(instantPreview_, &QButtonGroup::idClicked, model_.get(), &PreferencesModel::setInstantTimer);
    form->addRow(tr("Instant preview:"), previewRow);

    function_ = new QComboBox(pane);
    function_->setObjectName(QStringLiteral("programKeyFunction"));
    function_->addItems({tr("Focus"), tr("Digital Zoom"), tr("Exposure"), tr("Mirror")});
    connect(function_, &QComboBox::activated, this, &DCPreferencesWindowController::setFunction);
    descriptField_ = new QLabel(pane);
    descriptField_->setObjectName(QStringLiteral("descriptField"));
    descriptField_->setWordWrap(true);
    descriptField_->setMinimumWidth(320);
    form->addRow(tr("Camera button:"), function_);
    form->addRow(QString(), descriptField_);

    auto *streamerSettingBox = new QGroupBox(tr("Network"), pane);
    streamerSettingBox->setObjectName(QStringLiteral("streamerSettingBox"));
    auto *streamer = new QVBoxLayout(streamerSettingBox);
    videoStreamer_ = new QCheckBox(tr("Share the live picture on the local network"), streamerSettingBox);
    videoStreamer_->setObjectName(QStringLiteral("videoStreamer"));
    connect(videoStreamer_, &QCheckBox::clicked, model_.get(), &PreferencesModel::toggleVideoStreamer);
    videoStreamServerURL_ = new QLabel(streamerSettingBox);
    videoStreamServerURL_->setObjectName(QStringLiteral("videoStreamServerURL"));
    videoStreamServerURL_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *note =
        new QLabel(tr("A change takes effect the next time Korva Lectern starts."), streamerSettingBox);
    note->setEnabled(false);
    streamer->addWidget(videoStreamer_);
    streamer->addWidget(videoStreamServerURL_);
    streamer->addWidget(note);
    form->addRow(streamerSettingBox);
    return pane;
}

QWidget *DCPreferencesWindowController::buildImagePane() {
    auto *pane = new QWidget(this);
    auto *form = new QFormLayout(pane);
    videoDevices_ = new QComboBox(pane);
    videoDevices_->setObjectName(QStringLiteral("videoDevices"));
    videoDevices_->setMinimumWidth(220);
    // Activated, not changed: choosing the current camera again restarts its picture.
    connect(videoDevices_, &QComboBox::activated, model_.get(), &PreferencesModel::selectCamera);
    form->addRow(tr("Camera:"), videoDevices_);
    const struct {
        Picture picture;
        QString title;
        QString name;
    } rows[] = {{Picture::Brightness, tr("Brightness:"), QStringLiteral("brightSlider")},
                {Picture::Contrast, tr("Contrast:"), QStringLiteral("contrastSlider")},
                {Picture::Gamma, tr("Gamma:"), QStringLiteral("gammaSlider")},
                {Picture::Hue, tr("Hue:"), QStringLiteral("hueSlider")},
                {Picture::Saturation, tr("Saturation:"), QStringLiteral("saturationSlider")},
                {Picture::Sharpness, tr("Sharpness:"), QStringLiteral("sharpnessSlider")}};
    for (const auto &row : rows) {
        auto *slider = new QSlider(Qt::Horizontal, pane);
        slider->setObjectName(row.name);
        slider->setMinimumWidth(220);
        connect(slider, &QSlider::valueChanged, this,
                [this, picture = row.picture](int value) { model_->setPicture(picture, value); });
        sliders_[static_cast<int>(row.picture)] = slider;
        form->addRow(row.title, slider);
    }
    auto *defaults = new QPushButton(tr("Default"), pane);
    defaults->setObjectName(QStringLiteral("defaultImageAdjustment"));
    connect(defaults, &QPushButton::clicked, model_.get(), &PreferencesModel::setDefaultImageAdjustment);
    form->addRow(QString(), defaults);
    return pane;
}

QWidget *DCPreferencesWindowController::buildSystemPane() {
    auto *pane = new QWidget(this);
    auto *form = new QFormLayout(pane);
    auto *frequencyRow = new QHBoxLayout;
    frequencySwitch_ =
        addChoices(pane, frequencyRow, {tr("50 Hz"), tr("60 Hz")}, QStringLiteral("frequencySwitch"));
    connect(frequencySwitch_, &QButtonGroup::idClicked, model_.get(), &PreferencesModel::setFrequency);
    form->addRow(tr("Mains frequency:"), frequencyRow);
    auto *frequencyDescript = new QLabel(
        tr("Choose the frequency of the mains power where you are, so lamps do not flicker in the picture."),
        pane);
    frequencyDescript->setObjectName(QStringLiteral("frequencyDescript"));
    frequencyDescript->setWordWrap(true);
    frequencyDescript->setMinimumWidth(320);
    form->addRow(QString(), frequencyDescript);

    auto *keepRow = new QVBoxLayout;
    keepCameraSet_ =
        addChoices(pane, keepRow, {tr("Restore the camera's last settings"), tr("Use the camera's defaults")},
                   QStringLiteral("keepCameraSet"));
    connect(keepCameraSet_, &QButtonGroup::idClicked, model_.get(), &PreferencesModel::setKeepCameraSet);
    form->addRow(tr("When a camera connects:"), keepRow);

    softwareVersion_ = new QLabel(pane);
    softwareVersion_->setObjectName(QStringLiteral("softwareVersion"));
    firmwareVersion_ = new QLabel(pane);
    firmwareVersion_->setObjectName(QStringLiteral("firmwareVersion"));
    form->addRow(tr("Software:"), softwareVersion_);
    form->addRow(tr("Camera firmware:"), firmwareVersion_);
    checkUpdate_ = new QPushButton(tr("Check for Updates…"), pane);
    checkUpdate_->setObjectName(QStringLiteral("checkUpdate"));
    checkUpdate_->setEnabled(!QStringLiteral(KL_UPDATE_BASE_URL).isEmpty());
    connect(checkUpdate_, &QPushButton::clicked, this, &DCPreferencesWindowController::checkUpdate);
    form->addRow(QString(), checkUpdate_);
    return pane;
}

void DCPreferencesWindowController::showWindow() {
    model_->loadDefaults();
    mirrorChoices();
    mirrorPanes();
    show();
    raise();
    activateWindow();
    focusPane();
}

void DCPreferencesWindowController::mirrorPanes() {
    const QList<Pane> offered = model_->panes();
    QAction *image = paneActions_[static_cast<int>(Pane::ImageAdjustment)];
    const bool present = toolbar_->actions().contains(image);
    if (offered.contains(Pane::ImageAdjustment) && !present)
        toolbar_->insertAction(paneActions_[static_cast<int>(Pane::System)], image);
    else if (!offered.contains(Pane::ImageAdjustment) && present)
        toolbar_->removeAction(image);
    const Pane shown = model_->shownPane();
    paneActions_[static_cast<int>(shown)]->setChecked(true);
    for (QAbstractButton *button : frequencySwitch_->buttons())
        button->setEnabled(model_->frequencyEnabled());
    for (int i = 0; i < static_cast<int>(panes_.size()); ++i)
        panes_[i]->setVisible(i == static_cast<int>(shown));
    if (shown == Pane::System) loadVersion();
    centralWidget()->layout()->activate();
    adjustSize();
}

void DCPreferencesWindowController::focusPane() {
    // The keyboard starts in the pane, not on the toolbar.
    QWidget *page = panes_[static_cast<int>(model_->shownPane())];
    for (QWidget *w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled()) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void DCPreferencesWindowController::mirrorCameras() {
    {
        const QSignalBlocker blocker(videoDevices_);
        videoDevices_->clear();
        videoDevices_->addItems(model_->cameraItems());
        videoDevices_->setCurrentIndex(model_->selectedCamera() >= 0 ? model_->selectedCamera() : 0);
        videoDevices_->setEnabled(model_->camerasEnabled());
    }
    for (int i = 0; i < PreferencesModel::kPictureCount; ++i) {
        const PreferencesModel::Slider state = model_->slider(static_cast<Picture>(i));
        QSlider *slider = sliders_[i];
        const QSignalBlocker blocker(slider);
        slider->setEnabled(state.enabled);
        if (!state.enabled) continue;
        slider->setRange(state.minimum, state.maximum);
        slider->setValue(state.value);
    }
}

void DCPreferencesWindowController::mirrorChoices() {
    const QSignalBlocker blockPrefix(prefixField_);
    pathField_->setText(model_->libraryPath());
    prefixField_->setText(model_->prefix());
    check(nameFormat_, model_->photoNameFormat());
    focusSound_->setChecked(model_->focusSoundEffect());
    snapshotSound_->setChecked(model_->snapshotSoundEffect());
    check(instantPreview_, model_->instantPreview());
    function_->setCurrentIndex(model_->programKeyFunction());
    descriptField_->setText(PreferencesModel::functionDescription(model_->programKeyFunction()));
    videoStreamer_->setChecked(model_->videoStreamer());
    showServerAddress();
    check(frequencySwitch_, model_->frequency());
    check(keepCameraSet_, model_->keepCameraSet());
}

void DCPreferencesWindowController::showServerAddress() {
    const QString address = model_->serverAddress();
    videoStreamServerURL_->setText(address.isEmpty() ? tr("The live picture is not being served.")
                                                     : tr("Served at %1").arg(address));
}

void DCPreferencesWindowController::loadVersion() {
    firmwareVersion_->setText(model_->firmwareText());
    softwareVersion_->setText(DCAboutWindowController::softwareVersion());
}

void DCPreferencesWindowController::setPhotoLibraryLocation() {
    const QString folder = chooseFolder_(this, model_->libraryPath());
    if (folder.isEmpty()) return; // cancelled
    const QString problem = model_->setPhotoLibraryLocation(folder);
    if (problem.isEmpty()) return;
    auto *box = new QMessageBox(QMessageBox::Warning, tr("The photo library stays where it is"), problem,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("photoLibraryProblem"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

void DCPreferencesWindowController::applyPrefix() {
    model_->setPhotoNameFormat(std::nullopt, prefixField_->text());
}

void DCPreferencesWindowController::setFunction(int index) {
    if (const QString description = PreferencesModel::functionDescription(index); !description.isEmpty())
        descriptField_->setText(description);
    model_->setFunction(index);
}

void DCPreferencesWindowController::checkUpdate() {
    const QString address = QStringLiteral(KL_UPDATE_BASE_URL);
    if (address.isEmpty()) {
        DCLog("This build has no update address");
        return;
    }
    QDesktopServices::openUrl(QUrl(address));
}

void DCPreferencesWindowController::changeEvent(QEvent *event) {
    // A prefix typed and left by clicking into another window counts as entered.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) applyPrefix();
    QMainWindow::changeEvent(event);
}

void DCPreferencesWindowController::hideEvent(QHideEvent *event) {
    applyPrefix();
    QMainWindow::hideEvent(event);
}
