#include "Body.h"

#include "CtCalc2.h"
#include "CtCalc2Ui.h"
#include "DataSaver.h"
#include "DataSetName.h"
#include "FieldStyle.h"
#include "FieldValue.h"
#include "ImgData.h"
#include "ImageRendering.h"
#include "SavingData.h"
#include "SavingImg.h"
#include "XanesPanel.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const QString timeFormat = QStringLiteral("yy/MM/dd hh:mm:ss.zzz");

// Installs a view as the content of a frame on one of the fixed tabs.
void dock(PopDockBase *base, QWidget *view, const QString &title)
{
    base->content = view;
    base->Layout->addWidget(view);
    base->popBase.setWindowTitle(title);
}

}

Body::Body(const QStringList &configLines, QWidget *parent)
    : QFrame(parent)
{
    // Slice requests carry the addressed worker across threads.
    qRegisterMetaType<CtCalc2 *>("CtCalc2*");
    qRegisterMetaType<SavingData *>("SavingData*");
    qRegisterMetaType<SavingImg *>("SavingImg*");
    buildForm();

    cursorPen = QPen(QColor(255, 255, 0));
    slicePen = QPen(QColor(255, 232, 232));
    corPen = QPen(QColor(255, 232, 232));
    corPen.setDashPattern({10, 3, 4, 3});
    draggingPen = QPen(QColor(255, 0, 0));
    selectedPen = QPen(QColor(232, 255, 0));

    connect(procCtrl, &ProcCtrl::sliceNoUpdated, &sinogramPanel, &Sinogram::sliceNoUpdated);
    // A data set of a sequence keeps a centre and a slice once they were given.
    connect(procCtrl, &ProcCtrl::sliceNoUpdated, this, [this] { sliceGiven = true; });
    connect(procCtrl, &ProcCtrl::corUpdated, this, [this] { corGiven = true; });
    connect(procCtrl, &ProcCtrl::corUpdated, &sinogramPanel, &Sinogram::corUpdated);
    connect(procCtrl, &ProcCtrl::rotAxUpdated, &sinogramPanel, &Sinogram::rotAxUpdated);
    connect(procCtrl, &ProcCtrl::autoUpdateUpdated, &sinogramPanel, &Sinogram::autoUpdateUpdated);
    sinogramPanel.setProcCtrl(procCtrl);
    connect(&sinogramPanel, &Sinogram::corSearchFinished, this, &Body::corSearchEnded);
    sinogramPanel.setImgDatas(&imgs);
    ctCalc.setSinogramPanel(&sinogramPanel);
    if (procCtrl->AutoUpdate->isChecked()) {
        sinogramPanel.genSinogram();
        sinogramPanel.genImage();
    }

    buildViews();
    buildCt2Pool();
    QWidget *xanesPage = XanesPanel::scrollingPage();
    xanesPanel = xanesPage->findChild<XanesPanel *>();
    ImgsTab->addTab(xanesPage, tr("XANES")); // last, so the numbers of the other tabs stay
    imgs.setI0Link(&I0ImgSel->image);
    imgs.setBgLink(&BGImgSel->image);

    ctSelGroup = new QButtonGroup(this);
    ctSelGroup->setExclusive(true);
    ctSelGroup->addButton(SelectCt1);
    ctSelGroup->addButton(SelectCt2);
    SelectCt1->setChecked(true);
    connect(ctSelGroup, &QButtonGroup::buttonClicked, this, &Body::changedCtSel);

    connectPanels();
    startBatchEngine();
    startSequenceController();
    showAdditionalInfo(ShowAdditionalInfo->isChecked());
    executeConfigLines(configLines);
}

Body::~Body()
{
    shutdown();
}

void Body::buildForm()
{
    setupUi(this);
    baseTitle = windowTitle();
    CalcCT->setStyleSheet(FieldStyle::idle);
    for (SelectAFile *saveDir : {SelectImageSaveDir, SelectDataSaveDir, SelectTiffSaveDir}) {
        saveDir->setMode(SelectAFile::SaveLocation);
        saveDir->Name->show();
        saveDir->AddTag->show();
    }
    // The controls scroll vertically only: as wide as their widest row.
    Controls->setMinimumWidth(ControlsBase->minimumSizeHint().width() + Controls->verticalScrollBar()->sizeHint().width());
    SelI0Files->setKeepConditions(true);
    SelI0Files->Title->setText(tr("I0 File Set"));
    I0ofRawImage_->Title->setText(tr("I0 of Raw Image"));
    I0ofI0Image_->Title->setText(tr("I0 of I0 Image"));
}

void Body::buildViews()
{
    rawDisp.rowValues = [this](int y, double *out) {
        const int index = seekCtrl->Index->value();
        return index >= 0 && index < imgs.count() && imgs.at(index)->copyLine(rawDisp.img.width(), y, out);
    };
    dock(RawImgBase, &rawDisp, tr("Measured Raw Image"));
    dock(SinogramImgBase, &sinogramPanel, tr("Check Sinogram"));
    dock(CtImgBase, &ctCalc, tr("CT Reconstruction"));
    dock(I0ImgBase, &I0ImgSel->imageView(), tr("I0 Image"));
    dock(BGImgBase, &BGImgSel->imageView(), tr("BG Image"));
    connect(I0ImgSel, &SelectAImgFile::showImageAsked, I0ImgBase, &PopDockBase::bringToFront);
    connect(BGImgSel, &SelectAImgFile::showImageAsked, BGImgBase, &PopDockBase::bringToFront);
}

void Body::buildCt2Pool()
{
    for (int i = 1; i <= ct2PoolSize; ++i) {
        // As on the fixed tabs, the panel scrolls inside its tab.
        auto *page = new QScrollArea;
        page->setWidgetResizable(true);
        page->setFrameShape(QFrame::NoFrame);
        auto *content = new QWidget;
        auto *contentLayout = new QGridLayout(content);
        auto *base = new PopDockBase(content);
        contentLayout->addWidget(base);
        page->setWidget(content);
        auto *panel = new CtCalc2Ui;
        ImgsTab->addTab(page, tr("CT2 %1").arg(i));
        dock(base, panel, tr("CT Calc2 %1").arg(i));
        connect(panel, &CtCalc2Ui::cRUpdated, this, &Body::cRUpdated);
        connect(panel, &CtCalc2Ui::dRUpdated, this, &Body::dRUpdated);
        panels.append(panel);
    }
    connect(&dispatcher, &CtDispatcher::sliceStarted, this,
            [this](int worker, int slice) { panels[worker]->sliceStarted(slice); });
    connect(&dispatcher, &CtDispatcher::sliceFinished, this, &Body::sliceAnswered);
    connect(&dispatcher, &CtDispatcher::progress, this, [this](int slice, qint64 done, qint64 total) {
        showProgress(done, total);
        emit sliceDone(slice, done, total);
    });
    connect(&dispatcher, &CtDispatcher::finished, this, &Body::endRun);
    connect(&ct2Pool.saver(), &DataSaver::fileSaved, this, &Body::noteFileSaved);
    procCtrl->Threads->setMaximum(ct2PoolSize);
    procCtrl->Threads->setValue(ct2PoolSize);
}

void Body::connectPanels()
{
    connect(CTFiles, &SelectDataFiles::filesSelected, this, &Body::dataFilesSelected);
    connect(CTFiles, &SelectDataFiles::filesCleared, this, &Body::clearSeries);
    for (SelectAImgFile *reference : {I0ImgSel, BGImgSel})
        connect(reference, &SelectAFile::fileSelected, this, &Body::updateReferenceFiles);
    connect(SelI0Files, &SelectDataFiles::filesSelected, this, &Body::i0FilesSelected);
    connect(&rawDisp, &ImgDispWPV::newPosInvY, this, &Body::newPosOnRawImg);
    connect(&rawDisp, &ImgDispWCBar::newBar, this, &Body::updateRawImage);
    connect(&rawDisp, &DispAWLayout::drawImage2, this, &Body::draw);
    connect(&rawDisp, &ImgDisp::selectedAPoint, this, &Body::selectedAPointInRawImg);
    connect(seekCtrl, &SeekCtrl::newIndex, this, &Body::updateRawImage);
    auto repaintRaw = [this] { rawDisp.dispA->update(); };
    connect(&imgs, &ImgDatas::imageUpdated, this, repaintRaw);
    connect(procCtrl, &ProcCtrl::rotAxUpdated, this, repaintRaw);
    connect(procCtrl, &ProcCtrl::sliceNoUpdated, this, repaintRaw);
    connect(procCtrl, &ProcCtrl::corUpdated, this, repaintRaw);
    connect(procCtrl, &ProcCtrl::autoExecUpdated, this, &Body::changedAutoExec);
    connect(procCtrl, &ProcCtrl::reconFilterUpdated, this, &Body::showReconMode);
    connect(&ctCalc, &CtCalc::askToStartCalc, this, &Body::toggleCalcCt);
    connect(CalcCT, &QPushButton::clicked, this, &Body::toggleCalcCt);
    connect(&ctCalc, &CtCalc::calcFinished, this, &Body::ctCalcFinished);
    connect(&ctCalc, &CtCalc::dRUpdated, this, &Body::dRUpdated);
    connect(&ctCalc, &CtCalc::cRUpdated, this, &Body::cRUpdated);
    connect(ShowAdditionalInfo, &QCheckBox::toggled, this, &Body::showAdditionalInfo);
    connect(FixColorScale, &QCheckBox::toggled, this, &Body::fixColorScaleToggled);
    connect(SelDDir, &SelectDataDir::selected, this, &Body::selectedDir);
    // Another data folder: its sets may write the names an earlier folder's sets wrote.
    connect(SelDDir->SelDir, &SelectDir::aDirSelected, this, [this] {
        writtenBy.clear();
        sequenceStack.clear();
    });
    connect(SelDDir, &SelectDataDir::selectedFileInfoList, this, &Body::selectedFileInfoList);
}

void Body::startBatchEngine()
{
    batchThread = new QThread(this);
    batch.moveToThread(batchThread);
    connect(this, &Body::callBatchLoad, &batch, &Batch::batchLoad);
    connect(this, &Body::callBatchExec, &batch, &Batch::batchExec);
    connect(&batch, &Batch::batchExCmd, this, [this](const BatchCmd *handed) { batchExCmd(Batch::received(handed)); });
    connect(this, &Body::callBatchCheckEnd, &batch, &Batch::batchCheckEnd);
    connect(&xanes, &XanesCommands::finished, this, &Body::xanesEnded);
    connect(&batch, &Batch::batchStopped, this, &Body::batchEngineStopped);
    connect(this, &Body::batchCalcStart, this, &Body::startCalcCt);
    connect(this, &Body::batchCalcFinished, this, &Body::callBatchCheckEnd);
    batchThread->start(QThread::InheritPriority);
}

void Body::startSequenceController()
{
    xafsThread = new QThread(this);
    xafsBatch.moveToThread(xafsThread);
    connect(&xafsBatch, &XafsBatch::execCalculation, this, &Body::startCalcCt);
    connect(this, &Body::calcFinished, &xafsBatch, &XafsBatch::calcFinished);
    connect(&xafsBatch, &XafsBatch::starting, this, &Body::startingSeqCalc);
    connect(&xafsBatch, &XafsBatch::finished, this, &Body::finishedSeqCalc);
    connect(&xafsBatch, &XafsBatch::stage, this, &Body::noticedStage);
    connect(SeqCalc, &QPushButton::clicked, &xafsBatch, &XafsBatch::start);
    connect(&xafsBatch, &XafsBatch::setFirstImageSet, SelDDir, &SelectDataDir::setFirstSet);
    connect(&xafsBatch, &XafsBatch::setNextSet, SelDDir, &SelectDataDir::setNextSet);
    connect(SelDDir, &SelectDataDir::noMoreSets, &xafsBatch, &XafsBatch::noMoreSets);
    connect(this, &Body::finishedLoadingCTFiles, &xafsBatch, &XafsBatch::loadedDataSet);
    xafsThread->start(QThread::InheritPriority);
}

void Body::executeConfigLines(const QStringList &lines)
{
    for (const QString &line : lines)
        batchExCmd(BatchCmd(line));
}

QList<QThread *> Body::threads() const
{
    QList<QThread *> all{batchThread, xafsThread};
    all.append(ct2Pool.threads());
    return all;
}

// ---- Loading a series and the raw view

void Body::dataFilesSelected(QStringList files, bool clear)
{
    const bool dataSet = std::exchange(loadingDataSet, false);
    if (clear)
        clearSeries();
    imgs.planLoad(files);
    int accepted = 0;
    for (const QString &file : files)
        if (imgs.add(file)) {
            CTFiles->addFileName(file);
            ++accepted;
        }
    const bool whole = !files.isEmpty() && accepted == files.size();
    if (!dataSet) {
        // An ordinary load ends whatever data set came before it.
        dataSetFailure.clear();
        dataSetPending = false;
    }
    if (dataSet && !whole)
        failDataSet(files.isEmpty() ? tr("it holds no image") : tr("%1 of its %2 images could not be used").arg(files.size() - accepted).arg(files.size()));
    else if (!whole)
        ++outcome.loadsFailed;
    if (dataSet)
        keepConditionsForDataSet();
    else
        setDefaultsForSeries();
    emit finishedLoadingCTFiles();
}

bool Body::regionsFitSeries() const
{
    const int dim = procCtrl->rotAxIsV ? imgs.imageWidth() : imgs.imageHeight();
    // A CT2 panel speaks for all (regions are kept equal); a region never set is the
    // whole slice of whatever series a run reads.
    const CtSlicePanel &p = *panels.front();
    if (!p.isRegionSet())
        return true;
    for (const QLineEdit *field : {p.Crx0, p.Crz0, p.Crx1, p.Crz1, p.Drx0, p.Drz0, p.Drx1, p.Drz1}) {
        const double v = realFieldValue(field->text());
        if (!(v >= 0 && v <= dim)) // NaN does not fit
            return false;
    }
    return true;
}

// The size across the rotation axis decides the slice side: a region the new series
// cannot fill is reset to the whole slice (the default a new series gets anyway unless
// "Keep Conditions" is checked), so that a run never crops a wider series or writes a
// region the slice does not have.
void Body::fitRegionsToSeries()
{
    const int dim = procCtrl->rotAxIsV ? imgs.imageWidth() : imgs.imageHeight();
    if (dim < 1)
        return;
    const CtSlicePanel &p = *panels.front();
    if (CTFiles->KeepConditions->isChecked()) {
        if (regionsFitSeries())
            return;
        qDebug().noquote() << QStringLiteral("The regions do not fit slices of %1 pixels; the whole slice is used :").arg(dim)
                           << QStringLiteral("(%1, %2)-(%3, %4)").arg(p.Crx0->text(), p.Crz0->text(), p.Crx1->text(), p.Crz1->text());
    }
    const double d = dim - 1;
    setRegions(0, 0, d, d);
}

// New files are a new data set, which may come from another detector: its first image
// fixes the geometry again. A run under way keeps the images it took.
void Body::clearSeries()
{
    imgs.clear();
    seekCtrl->Seek->setValue(0);
    seekCtrl->Seek->setMaximum(0);
    seekCtrl->Index->setValue(0);
    seekCtrl->Index->setMaximum(0);
}

void Body::setDefaultsForSeries()
{
    const int w = imgs.imageWidth();
    const int h = imgs.imageHeight();
    const bool vertical = procCtrl->rotAxIsV;
    procCtrl->setSliceTo(vertical ? h - 1 : w - 1);
    setSliceNo(vertical ? int(h * 0.5) : w / 2);
    setCor(vertical ? w * 0.5 : double(h / 2));
    showSeries();
    fitRegionsToSeries();
}

// The seek range, the raw image and the sinogram of the series as it now is.
void Body::showSeries()
{
    seekCtrl->Seek->setMaximum(std::max(imgs.count() - 1, 0));
    seekCtrl->Index->setMaximum(std::max(imgs.count() - 1, 0));
    updateRawImage();
    if (procCtrl->AutoUpdate->isChecked()) {
        sinogramPanel.genSinogram();
        sinogramPanel.genImage();
    }
}

void Body::setSliceNo(int slice)
{
    procCtrl->setSliceNo(slice);
}

void Body::setCor(double cor)
{
    procCtrl->setCor(cor);
}

void Body::setRotAxisVertical(bool vertical)
{
    if (vertical == procCtrl->rotAxIsV)
        return;
    procCtrl->rotAxIsV = vertical;
    (vertical ? procCtrl->RotAxV : procCtrl->RotAxH)->setChecked(true);
    emit procCtrl->rotAxUpdated();
}

void Body::newPosOnRawImg(double x, double y)
{
    const int index = seekCtrl->Index->value();
    double value = 0.0;
    if (index >= 0 && index < imgs.count()) {
        const ImgData *img = imgs.at(index);
        const int ix = int(x);
        const int iy = int(y);
        if (ix >= 0 && iy >= 0 && ix < img->imageWidth() && iy < img->imageHeight()) {
            std::vector<double> row(size_t(img->imageWidth()));
            value = img->line(iy, row.data())[ix];
        }
    }
    rawDisp.setVal(value);
}

void Body::updateRawImage()
{
    renderThroughBar(imgs, seekCtrl->Index->value(), rawDisp.img, *rawDisp.CBar);
    rawDisp.newImage();
}

void Body::draw(QPainter *p)
{
    if (imgs.count() == 0)
        return;
    const ChCoord &c = rawDisp.coord;
    const double width = rawDisp.dispA->width();
    const double height = rawDisp.dispA->height();
    const QPoint at = rawDisp.mouse.pos;
    p->setPen(cursorPen);
    p->drawLine(QLineF(at.x(), 0, at.x(), height));
    p->drawLine(QLineF(0, at.y(), width, at.y()));

    const bool vertical = procCtrl->rotAxIsV;
    p->setPen(slicePen);
    if (vertical) {
        const double y = c.toScreenY(procCtrl->sliceNo);
        p->drawLine(QLineF(0, y, width, y));
    } else {
        const double x = c.toScreenX(procCtrl->sliceNo);
        p->drawLine(QLineF(x, 0, x, height));
    }
    p->setPen(corPen);
    if (vertical) {
        const double x = c.toScreenX(procCtrl->cor);
        p->drawLine(QLineF(x, 0, x, height));
    } else {
        const double y = c.toScreenY(procCtrl->cor);
        p->drawLine(QLineF(0, y, width, y));
    }

    if (!rawDisp.selecting && !rawDisp.selValid)
        return;
    const QRectF &s = rawDisp.sel;
    const QRectF onScreen(QPointF(c.toScreenX(s.left()), c.toScreenY(s.top())),
                          QPointF(c.toScreenX(s.right()), c.toScreenY(s.bottom())));
    p->setPen(rawDisp.selecting ? draggingPen : selectedPen);
    p->setBrush(Qt::NoBrush);
    p->drawRect(onScreen.normalized());
    if (!rawDisp.selecting)
        applySelection();
}

// The completed selection picks the region of every engine (across the axis) and the
// slice range (along it). Setters that change nothing emit nothing.
void Body::applySelection()
{
    const QRectF &s = rawDisp.sel;
    if (procCtrl->rotAxIsV) {
        setRegions(s.x(), s.x(), s.x() + s.width(), s.x() + s.width());
        procCtrl->setSliceFrom(int(s.y()));
        procCtrl->setSliceTo(int(s.y() + s.height()));
    } else {
        setRegions(s.y(), s.y(), s.y() + s.height(), s.y() + s.height());
        procCtrl->setSliceFrom(int(s.x()));
        procCtrl->setSliceTo(int(s.x() + s.width()));
    }
}

// Through the CT1 panel: its announcements pass every change on to the CT2 panels, which
// hold the same regions.
void Body::setRegions(double x0, double z0, double x1, double z1)
{
    ctCalc.setDR(x0, z0, x1, z1);
    ctCalc.setCR(x0, z0, x1, z1);
}

void Body::selectedAPointInRawImg(double x, double y, MouseC::MStat s)
{
    const bool vertical = procCtrl->rotAxIsV;
    if (s == MouseC::MLeft)
        setSliceNo(int(vertical ? y : x));
    else if (s == MouseC::MRight)
        setCor(vertical ? x : y);
}

void Body::showDispRaw()
{
    rawDisp.setVisible(!rawDisp.isVisible());
}

void Body::showSinogram()
{
    sinogramPanel.setVisible(!sinogramPanel.isVisible());
    if (procCtrl->AutoUpdate->isChecked()) {
        sinogramPanel.genSinogram();
        sinogramPanel.genImage();
    }
}

void Body::seekTo(int index)
{
    seekCtrl->Index->setValue(std::clamp(index, 0, seekCtrl->Seek->maximum()));
}

// ---- Runs

void Body::toggleCalcCt()
{
    if (imgs.count() == 0)
        return;
    if (calculating)
        stopCalcCt();
    else
        startCalcCt();
}

void Body::startCalcCt()
{
    if (shutDown)
        return;
    calculating = true;
    currentRun.reset(); // until the CT2 pool takes the run
    startT = QDateTime::currentDateTime();
    CalcStartT->setText(startT.toString(timeFormat));
    CalcEndT->clear();
    CalcCT->setStyleSheet(FieldStyle::busy);
    procCtrl->fillCalcConds(conds, SelectCt1->isChecked(), SelectCt2->isChecked());
    ctCalc.setFilter(conds.filter);
    // Range runs hand slices to the CT2 workers; CT1 has none to give them to.
    if (conds.rangeMode && !conds.useCt2) {
        qDebug() << "A range run needs the CT2 engine; choose CT2";
        endRun();
        return;
    }
    if (!runAllowed()) {
        endRun();
        return;
    }
    setupSaveConds();
    showProgress(0, CtDispatcher::rangeCount(conds.sliceFrom, conds.sliceTo, conds.sliceStep));
    if (!conds.rangeMode) {
        execSingleCtCalc();
        return;
    }
    startCt2Run();
}

void Body::startCt2Run()
{
    watchSequenceSlices();
    planeSet = dataSetPending ? SelDDir->currentSetName() : QString();
    planeEnergy = SelDDir->currentEnergy() > 0.0 ? SelDDir->currentEnergy() : energyInEvOfName(QFileInfo(I0ImgSel->FilePath->text()).fileName());
    const CtDispatcher::Run run = ct2Run();
    currentRun = run.snapshot;
    dispatcher.start(run);
}

// What a CT2 run reads, fixed now: later loads and edits do not reach it.
std::shared_ptr<const RunSnapshot> Body::runSnapshot() const
{
    auto run = std::make_shared<RunSnapshot>();
    run->series = imgs.snapshot();
    run->rotAxIsV = conds.rotAxIsV;
    run->cor = conds.cor;
    run->filter = conds.filter;
    // The panels' regions are kept equal; the first one speaks for all.
    const CtCalc2Ui &first = *panels.front();
    run->region = CalcRegion{realFieldValue(first.Crx0->text()), realFieldValue(first.Crz0->text()),
                             realFieldValue(first.Crx1->text()), realFieldValue(first.Crz1->text())};
    run->regionSet = first.isRegionSet();
    run->view = CalcRegion{realFieldValue(first.Drx0->text()), realFieldValue(first.Drz0->text()),
                           realFieldValue(first.Drx1->text()), realFieldValue(first.Drz1->text())};
    run->viewSet = first.DispCt->scaleSet;
    for (const CtCalc2Ui *panel : panels)
        run->scales.push_back({panel->colorBar()->colorScale(), panel->colorBar()->isFixed()});
    run->display = ShowCalcRes->isChecked();
    run->image = imageSaveSettings();
    run->data = dataSaveSettings();
    run->tiff = tiffSaveSettings();
    if (dataSetPending)
        std::tie(run->spectralFrom, run->spectralTo) = sequenceStack.watched();
    return run;
}

SaveSettings Body::imageSaveSettings() const
{
    return {AutoSaveImage->isChecked(), SelectImageSaveDir->FilePath->text(), SelectImageSaveDir->Name->text(),
            SelectImageSaveDir->AddTag->text()};
}

SaveSettings Body::dataSaveSettings() const
{
    return {AutoSaveData->isChecked(), SelectDataSaveDir->FilePath->text(), SelectDataSaveDir->Name->text(),
            SelectDataSaveDir->AddTag->text()};
}

SaveSettings Body::tiffSaveSettings() const
{
    return {AutoSaveTiff->isChecked(), SelectTiffSaveDir->FilePath->text(), SelectTiffSaveDir->Name->text(),
            SelectTiffSaveDir->AddTag->text()};
}

CtDispatcher::Run Body::ct2Run() const
{
    CtDispatcher::Run run;
    run.snapshot = runSnapshot();
    run.slice = conds.slice;
    run.rangeMode = conds.rangeMode;
    run.from = conds.sliceFrom;
    run.to = conds.sliceTo;
    run.step = conds.sliceStep;
    run.threads = conds.threads;
    return run;
}

// CT1 keeps the save settings; CT2 runs take them with their snapshot.
void Body::setupSaveConds()
{
    const SaveSettings image = imageSaveSettings(), data = dataSaveSettings();
    ctCalc.setSaveImage(image.f, image.path, image.name, image.tag);
    ctCalc.setSaveData(data.f, data.path, data.name, data.tag);
}

void Body::execSingleCtCalc()
{
    if (conds.useCt1)
        ctCalc.startCt(); // ends with calcFinished, also when there is no sinogram
    else if (conds.useCt2)
        startCt2Run();
    else
        endRun();
}

void Body::sliceAnswered(const SliceResult &result)
{
    gatherPlane(result);
    CtCalc2Ui *panel = panels.value(result.worker);
    if (!panel)
        return;
    panel->showResult(result);
    // A panel whose region was never set shows the whole slice it computed; the region
    // stays unset, so the next series is again reconstructed whole.
    if (result.reconstructed && !panel->isRegionSet())
        panel->showWholeSlice(result.n);
}

void Body::gatherPlane(const SliceResult &result)
{
    QString why;
    if (result.plane.values && !planeSet.isEmpty() && !sequenceStack.add(planeSet, planeEnergy, result.slice, result.plane, &why))
        qDebug().noquote() << why;
}

// The slices mapped from the sequence: those of "xanes_from_sequence 1" and the one the
// XANES tab follows. Another choice forgets what was gathered for the old one.
void Body::watchSequenceSlices()
{
    const XanesRequest &mapped = xanes.request();
    int from = mapped.fromSequence ? mapped.sliceFrom : INT_MAX;
    int to = mapped.fromSequence ? mapped.sliceTo : INT_MIN;
    if (const int followed = xanesPanel->followedSlice(); followed >= 0) {
        from = std::min(from, followed);
        to = std::max(to, followed);
    }
    if (to < from)
        from = 0, to = -1;
    if (sequenceStack.watched() != std::pair{from, to})
        sequenceStack.watch(from, to);
}

// A data set's run has been counted: the XANES tab follows the planes gathered so far.
void Body::sequenceSetCounted()
{
    xanesPanel->followSequence(std::make_shared<const SequenceStack>(sequenceStack));
}

// Slices done of the total next to "Calc"; only the count when the range never ends
// (Step 0); nothing for a single slice.
void Body::showProgress(qint64 done, qint64 total)
{
    if (!conds.rangeMode)
        CalcProgress->clear();
    else if (total > 0)
        CalcProgress->setText(tr("%1 / %2").arg(done).arg(total));
    else
        CalcProgress->setText(QString::number(done));
}

void Body::stopCalcCt()
{
    dispatcher.stop();
    endRun();
}

void Body::ctCalcFinished()
{
    endRun();
}

QString Body::spentText(const QDateTime &start, const QDateTime &end)
{
    return realFieldText(start.msecsTo(end) / 1000.0);
}

void Body::endRun()
{
    countRun();
    calculating = false;
    endT = QDateTime::currentDateTime();
    CalcEndT->setText(endT.toString(timeFormat));
    CalcSpentT->setText(spentText(startT, endT));
    CalcCT->setStyleSheet(FieldStyle::idle);
    if (startedByCommand) {
        startedByCommand = false;
        emit batchCalcFinished();
    }
    emit calcFinished();
    if (batchEndPending) {
        batchEndPending = false;
        emit batchJobEnded();
    }
}

// ---- Selector reactions

void Body::showAdditionalInfo(bool f)
{
    AdditionalInfo->setVisible(f);
}

void Body::changedCtSel(QAbstractButton *)
{
    if (SelectCt1->isChecked())
        procCtrl->AutoExecCtCalc->setChecked(false);
}

void Body::changedAutoExec()
{
    if (procCtrl->AutoExecCtCalc->isChecked())
        SelectCt2->setChecked(true);
}

void Body::setRegionOfOthers(const QObject *from, RegionSetter set, double rx0, double rz0, double rx1, double rz1)
{
    if (from != &ctCalc)
        (ctCalc.*set)(rx0, rz0, rx1, rz1);
    for (CtCalc2Ui *panel : panels)
        if (panel != from)
            (panel->*set)(rx0, rz0, rx1, rz1);
}

void Body::dRUpdated(double rx0, double rz0, double rx1, double rz1)
{
    setRegionOfOthers(sender(), &CtSlicePanel::setDR, rx0, rz0, rx1, rz1);
}

void Body::cRUpdated(double rx0, double rz0, double rx1, double rz1)
{
    setRegionOfOthers(sender(), &CtSlicePanel::setCR, rx0, rz0, rx1, rz1);
}

void Body::fixColorScaleToggled(bool f)
{
    const double minV = colorMin();
    const double maxV = colorMax();
    ctCalc.setFixColorScale(f);
    if (f)
        ctCalc.setCBarMinMaxForced(minV, maxV);
    for (CtCalc2Ui *panel : panels) {
        panel->setFixColorScale(f);
        if (f)
            panel->setCBarMinMaxForced(minV, maxV);
    }
}

double Body::colorMin()
{
    return realFieldValue(ColorMin->text());
}

double Body::colorMax()
{
    return realFieldValue(ColorMax->text());
}

void Body::selectedDir(QString dir, QStringList patterns)
{
    announceDataSet();
    loadInDir(*CTFiles, dir, patterns);
}

void Body::selectedFileInfoList(QFileInfoList fileInfoList)
{
    announceDataSet();
    CTFiles->setFileInfoList(fileInfoList);
}

// A data set of a sequence was chosen: its I0 image, its name as the tag of the saved
// results, and its energy for the I0 panels. The load that follows keeps the
// conditions the user set; what makes the set unusable is noted, and its run refused.
void Body::announceDataSet()
{
    dataSetFailure.clear();
    dataSetPending = true;
    loadingDataSet = true;
    setI0FileFromList();
    checkReferenceImages();
    const QString setName = SelDDir->currentSetName();
    SelectImageSaveDir->AddTag->setText(setName);
    SelectDataSaveDir->AddTag->setText(setName);
    SelectTiffSaveDir->AddTag->setText(setName);
    const double energy = SelDDir->currentEnergy();
    I0ofRawImage_->setEnergy(energy);
    I0ofI0Image_->setEnergy(energy);
}

void Body::loadInDir(SelectDataFiles &selector, const QString &dir, const QStringList &patterns)
{
    selector.fileDialog().setDirectory(dir);
    selector.selectInDir(dir, patterns);
}

void Body::startingSeqCalc()
{
    SeqCalc->setStyleSheet(FieldStyle::busy);
    writtenBy.clear();
    sequenceStack.clear();
    sequenceSetsFailed = outcome.setsFailed;
}

void Body::finishedSeqCalc()
{
    SeqCalc->setStyleSheet(FieldStyle::idle);
    if (!sequenceByCommand)
        return;
    sequenceByCommand = false;
    batch.ok = outcome.setsFailed == sequenceSetsFailed;
    emit callBatchCheckEnd();
}

void Body::i0FilesSelected(QStringList files, bool)
{
    i0Energies.clear();
    for (const QString &file : files) {
        i0Energies.append(energyInEvOfName(file));
        SelI0Files->addFileName(file);
    }
    updateReferenceFiles();
}

void Body::noticedStage(QString msg, qlonglong dEt)
{
    ProgressMsg->setText(msg);
    DeltaET->setText(QString::number(dEt));
}

void Body::setI0FileFromList()
{
    if (i0Energies.isEmpty())
        return;
    I0ImgSel->fileSelected0(SelI0Files->Selected->itemText(nearestEnergy(i0Energies, SelDDir->currentEnergy())));
}

void Body::nextDataSet()
{
    batch.ok = SelDDir->nextIfAny();
}

// A job that reconstructs one named set of a folder (one task of a cluster array) must
// not fall back on another set when that one is gone: the set counts as failed.
void Body::selectDataSet(const QString &name)
{
    batch.ok = SelDDir->selectByName(name);
    if (batch.ok)
        return;
    ++outcome.setsFailed;
    qDebug().noquote() << QStringLiteral("Data set %1 failed: there is no such data set in %2").arg(name, SelDDir->SelDir->SelectedDir->text());
}

// ---- Batch engine

void Body::batchLoad(QString fname)
{
    emit callBatchLoad(fname);
}

void Body::batchExec()
{
    batchEndPending = false;
    emit callBatchExec();
}

// The search a script asked for has ended: ":ifok"/":ifng" see whether a centre was found.
void Body::corSearchEnded(bool found)
{
    if (!corSearchByCommand)
        return;
    corSearchByCommand = false;
    batch.ok = found;
    emit callBatchCheckEnd();
}

// The chemical-state job a script started has ended: ":ifok" when everything was written.
void Body::xanesEnded(XanesOutcome result)
{
    ++outcome.mapJobs;
    outcome.mapJobsIncomplete += result.complete() ? 0 : 1;
    batch.ok = result.complete();
    emit callBatchCheckEnd();
}

void Body::batchEngineStopped()
{
    if (calculating)
        batchEndPending = true;
    else
        emit batchJobEnded();
}

void Body::setFixColorScale(bool f)
{
    FixColorScale->setChecked(f);
}

void Body::setColorMin(double v)
{
    ColorMin->setText(realFieldText(v));
}

void Body::setColorMax(double v)
{
    ColorMax->setText(realFieldText(v));
}

void Body::setAutoSaveImage(bool f)
{
    AutoSaveImage->setChecked(f);
}

void Body::setAutoSaveData(bool f)
{
    AutoSaveData->setChecked(f);
}

void Body::setSaveDir(SelectAFile &selector, const QString &dir)
{
    selector.showPath(dir);
}

void Body::showReconMode()
{
    const ReconFilter &filter = procCtrl->reconFilter;
    setWindowTitle(filter.quantitative
                       ? tr("%1 - Quantitative (%2)").arg(baseTitle, procCtrl->FilterWindow->currentText())
                       : baseTitle);
}

// ---- Shutdown

void Body::closeEvent(QCloseEvent *event)
{
    shutdown();
    QFrame::closeEvent(event);
}

// Order matters: nothing may start new work (script, sequence, dispatch) while the
// workers end their slices; the saver's queue is drained behind them.
void Body::shutdown()
{
    if (shutDown)
        return;
    shutDown = true;
    if (dispatcher.isRunning()) {
        const CtDispatcher::Report &done = dispatcher.report();
        qDebug().noquote() << QStringLiteral("Stopping: slices already handed out are finished and saved; %1 of %2 slices were done")
                                  .arg(done.slicesDone)
                                  .arg(dispatcher.total());
    }
    calculating = false;
    dispatcher.stop();
    for (QThread *thread : {batchThread, xafsThread}) {
        thread->quit();
        thread->wait();
    }
    xanes.shutdown();
    ct2Pool.shutdown();
    // The answers of the last slices, for the panels.
    QCoreApplication::sendPostedEvents();
}
