// The batch command set of the main window: one table of command words and actions.
// Commands set the same widgets the user operates, so the toggled/changed signals of
// those widgets run the usual wiring, while click and editing-finished reactions do not.

#include "Body.h"

#include "DataSaver.h"
#include "FieldValue.h"
#include "RowCache.h"

#include <QDebug>

#include <algorithm>

namespace {

QString textArg(const BatchCmd &cmd)
{
    return cmd.args.value(0);
}

// Arguments 1 ... : the name patterns of a load.
QStringList patternArgs(const BatchCmd &cmd)
{
    return cmd.args.mid(1);
}

int secondInt(const BatchCmd &cmd)
{
    return intFieldValue(cmd.args.value(1));
}

}

void Body::batchExCmd(BatchCmd cmd)
{
    // Commands still queued when the window closes must not start anything.
    if (shutDown)
        return;
    qDebug() << "body-cmd" << cmd.cmd;
    // xanes_exec answers when its job has ended (xanesEnded). Its maps are made from saved
    // results, so it starts once the saver has written every file handed to it before: the
    // saver takes its requests in order, and this one only sends the start back.
    bool xanesExec = false;
    if (xanes.handle(cmd, &xanesExec)) {
        if (!xanesExec)
            emit callBatchCheckEnd();
        else
            QMetaObject::invokeMethod(&ct2Pool.saver(), [this] {
                QMetaObject::invokeMethod(this, [this] { xanes.start(std::make_shared<const SequenceStack>(sequenceStack)); }, Qt::QueuedConnection);
            }, Qt::QueuedConnection);
        return;
    }
    for (const Command &command : commandTable())
        if (cmd.isCmd(QLatin1String(command.keyword)))
            command.action(*this, cmd);
    // calc_exec reports completion when its run has ended (batchCalcFinished),
    // ct_find_cor when its search has ended (corSearchEnded).
    if (cmd.isCmd(QStringLiteral("calc_exec")) || cmd.isCmd(QStringLiteral("ct_find_cor")) || cmd.isCmd(QStringLiteral("seq_exec_calc")))
        return;
    emit callBatchCheckEnd();
}

const std::vector<Body::Command> &Body::commandTable()
{
    static const std::vector<Command> table{
        // Projection images
        {"images_load", [](Body &b, const BatchCmd &c) { b.loadInDir(*b.CTFiles, textArg(c), patternArgs(c)); }},
        {"images_new_on_load",
         [](Body &b, const BatchCmd &c) { (c.firstFlag() ? b.CTFiles->LoadNewFiles : b.CTFiles->AddFiles)->setChecked(true); }},
        {"images_add_on_load",
         [](Body &b, const BatchCmd &c) { (c.firstFlag() ? b.CTFiles->AddFiles : b.CTFiles->LoadNewFiles)->setChecked(true); }},
        {"images_clear", [](Body &b, const BatchCmd &) { b.CTFiles->clearFiles(); }},
        {"images_exp_time", [](Body &b, const BatchCmd &c) { b.CTFiles->ExpTime->setText(realFieldText(c.firstReal())); }},
        {"images_multi",
         [](Body &b, const BatchCmd &c) {
             b.CTFiles->LoadMultiTimes->setChecked(c.firstFlag());
             b.CTFiles->MultiTimes->setText(QString::number(secondInt(c)));
         }},
        {"images_seek", [](Body &b, const BatchCmd &c) { b.seekTo(c.firstInt()); }},
        // I0 and BG images
        {"i0_load", [](Body &b, const BatchCmd &c) { b.loadReference(*b.I0ImgSel, textArg(c)); }},
        {"i0_clear", [](Body &b, const BatchCmd &) { b.I0ImgSel->clear0(); }},
        {"i0_exp_time", [](Body &b, const BatchCmd &c) { b.I0ImgSel->setExpTime(c.firstReal()); }},
        {"bg_load", [](Body &b, const BatchCmd &c) { b.loadReference(*b.BGImgSel, textArg(c)); }},
        {"bg_clear", [](Body &b, const BatchCmd &) { b.BGImgSel->clear0(); }},
        {"bg_exp_time", [](Body &b, const BatchCmd &c) { b.BGImgSel->setExpTime(c.firstReal()); }},
        // Reconstruction settings
        {"ct_proc_slice", [](Body &b, const BatchCmd &c) { b.setSliceNo(c.firstInt()); }},
        {"ct_auto_exec", [](Body &b, const BatchCmd &c) { b.procCtrl->AutoExecCtCalc->setChecked(c.firstFlag()); }},
        {"ct_slice_from", [](Body &b, const BatchCmd &c) { b.procCtrl->setSliceFrom(c.firstInt()); }},
        {"ct_slice_to", [](Body &b, const BatchCmd &c) { b.procCtrl->setSliceTo(c.firstInt()); }},
        {"ct_slice_step", [](Body &b, const BatchCmd &c) { b.procCtrl->setSliceStep(c.firstInt()); }},
        {"ct_threads", [](Body &b, const BatchCmd &c) { b.procCtrl->Threads->setValue(c.firstInt()); }},
        {"ct_cor", [](Body &b, const BatchCmd &c) { b.setCor(c.firstReal()); }},
        {"ct_rot_ax_is_h", [](Body &b, const BatchCmd &c) { b.setRotAxisVertical(!c.firstFlag()); }},
        {"ct_rot_ax_is_v", [](Body &b, const BatchCmd &c) { b.setRotAxisVertical(c.firstFlag()); }},
        {"ct_find_cor",
         [](Body &b, const BatchCmd &) {
             b.corSearchByCommand = true;
             b.sinogramPanel.findCor();
         }},
        {"ct_auto_gen_sinogram", [](Body &b, const BatchCmd &c) { b.procCtrl->AutoUpdate->setChecked(c.firstFlag()); }},
        {"ct_quantitative", [](Body &b, const BatchCmd &c) { b.procCtrl->setQuantitative(c.firstFlag()); }},
        {"ct_filter", [](Body &b, const BatchCmd &c) { b.procCtrl->setFilterWindow(textArg(c)); }},
        {"ct_set_disp_region",
         [](Body &b, const BatchCmd &c) { b.dRUpdated(c.realArg(0), c.realArg(1), c.realArg(2), c.realArg(3)); }},
        {"ct_set_calc_region",
         [](Body &b, const BatchCmd &c) { b.cRUpdated(c.realArg(0), c.realArg(1), c.realArg(2), c.realArg(3)); }},
        // Calculation
        {"calc_ct1", [](Body &b, const BatchCmd &c) { b.SelectCt1->setChecked(c.firstFlag()); }},
        {"calc_ct2", [](Body &b, const BatchCmd &c) { b.SelectCt2->setChecked(c.firstFlag()); }},
        {"calc_show_res", [](Body &b, const BatchCmd &c) { b.ShowCalcRes->setChecked(c.firstFlag()); }},
        {"calc_exec",
         [](Body &b, const BatchCmd &) {
             b.startedByCommand = true;
             emit b.batchCalcStart();
         }},
        // Colour scale
        {"fix_color_scale", [](Body &b, const BatchCmd &c) { b.setFixColorScale(c.firstFlag()); }},
        {"fix_color_min", [](Body &b, const BatchCmd &c) { b.setColorMin(c.firstReal()); }},
        {"fix_color_max", [](Body &b, const BatchCmd &c) { b.setColorMax(c.firstReal()); }},
        // Automatic saving
        {"auto_save_image", [](Body &b, const BatchCmd &c) { b.setAutoSaveImage(c.firstFlag()); }},
        {"auto_save_image_path", [](Body &b, const BatchCmd &c) { b.setSaveDir(*b.SelectImageSaveDir, textArg(c)); }},
        {"auto_save_image_name", [](Body &b, const BatchCmd &c) { b.SelectImageSaveDir->Name->setText(textArg(c)); }},
        {"auto_save_image_tag", [](Body &b, const BatchCmd &c) { b.SelectImageSaveDir->AddTag->setText(textArg(c)); }},
        {"auto_save_image_clear", [](Body &b, const BatchCmd &) { b.SelectImageSaveDir->clear0(); }},
        {"auto_save_data", [](Body &b, const BatchCmd &c) { b.setAutoSaveData(c.firstFlag()); }},
        {"auto_save_data_path", [](Body &b, const BatchCmd &c) { b.setSaveDir(*b.SelectDataSaveDir, textArg(c)); }},
        {"auto_save_data_name", [](Body &b, const BatchCmd &c) { b.SelectDataSaveDir->Name->setText(textArg(c)); }},
        {"auto_save_data_tag", [](Body &b, const BatchCmd &c) { b.SelectDataSaveDir->AddTag->setText(textArg(c)); }},
        {"auto_save_data_clear", [](Body &b, const BatchCmd &) { b.SelectDataSaveDir->clear0(); }},
        {"memory_budget", [](Body &, const BatchCmd &c) { setMemoryBudget(qint64(std::clamp(c.firstInt(), 0, 1 << 24)) << 20); }},
        {"auto_save_tiff", [](Body &b, const BatchCmd &c) { b.AutoSaveTiff->setChecked(c.firstFlag()); }},
        {"auto_save_tiff_path", [](Body &b, const BatchCmd &c) { b.setSaveDir(*b.SelectTiffSaveDir, textArg(c)); }},
        {"auto_save_tiff_name", [](Body &b, const BatchCmd &c) { b.SelectTiffSaveDir->Name->setText(textArg(c)); }},
        {"auto_save_tiff_tag", [](Body &b, const BatchCmd &c) { b.SelectTiffSaveDir->AddTag->setText(textArg(c)); }},
        {"auto_save_tiff_clear", [](Body &b, const BatchCmd &) { b.SelectTiffSaveDir->clear0(); }},
        // CT-XAFS information. The second "add_inf_show" entry also sets the naming
        // mode of the data-set selector: stored scripts rely on it.
        {"add_inf_show", [](Body &b, const BatchCmd &c) { b.showAdditionalInfo(c.firstFlag()); }},
        {"add_inf_show", [](Body &b, const BatchCmd &c) { b.SelDDir->isKSTStd_->setChecked(c.firstFlag()); }},
        {"add_inf_raw_i0_val", [](Body &b, const BatchCmd &c) { b.I0ofRawImage_->I0Val->setText(realFieldText(c.firstReal())); }},
        {"add_inf_raw_i0_from_xafs", [](Body &b, const BatchCmd &c) { b.I0ofRawImage_->CalcFromXAFS->setChecked(c.firstFlag()); }},
        {"add_inf_raw_i0_xafs", [](Body &b, const BatchCmd &c) { b.I0ofRawImage_->XafsFile->fileSelected0(textArg(c)); }},
        {"add_inf_raw_i0_xafs_clear", [](Body &b, const BatchCmd &) { b.I0ofRawImage_->XafsFile->clear0(); }},
        {"add_inf_raw_i0_eng_ptn", [](Body &b, const BatchCmd &c) { b.I0ofRawImage_->EngPattern->setText(textArg(c)); }},
        {"add_inf_i0_i0_val", [](Body &b, const BatchCmd &c) { b.I0ofI0Image_->I0Val->setText(realFieldText(c.firstReal())); }},
        {"add_inf_i0_i0_from_xafs", [](Body &b, const BatchCmd &c) { b.I0ofI0Image_->CalcFromXAFS->setChecked(c.firstFlag()); }},
        {"add_inf_i0_i0_xafs", [](Body &b, const BatchCmd &c) { b.I0ofI0Image_->XafsFile->fileSelected0(textArg(c)); }},
        {"add_inf_i0_i0_xafs_clear", [](Body &b, const BatchCmd &) { b.I0ofI0Image_->XafsFile->clear0(); }},
        {"add_inf_i0_i0_eng_ptn", [](Body &b, const BatchCmd &c) { b.I0ofI0Image_->EngPattern->setText(textArg(c)); }},
        // Views
        {"show_tab", [](Body &b, const BatchCmd &c) { b.ImgsTab->setCurrentIndex(c.firstInt()); }},
        {"show_orig", [](Body &b, const BatchCmd &) { b.ImgsTab->setCurrentIndex(0); }},
        {"show_sinogram", [](Body &b, const BatchCmd &) { b.ImgsTab->setCurrentIndex(1); }},
        {"show_ct1", [](Body &b, const BatchCmd &) { b.ImgsTab->setCurrentIndex(2); }},
        {"show_i0", [](Body &b, const BatchCmd &) { b.ImgsTab->setCurrentIndex(3); }},
        {"show_bg", [](Body &b, const BatchCmd &) { b.ImgsTab->setCurrentIndex(4); }},
        {"show_ct2",
         [](Body &b, const BatchCmd &c) {
             // 64-bit sum, then the last CT2 tab for an index past it.
             const qint64 tab = qint64(fixedTabs) + c.firstInt();
             b.ImgsTab->setCurrentIndex(int(std::clamp<qint64>(tab, 0, fixedTabs + ct2PoolSize - 1)));
         }},
        // Data-set sequences
        {"seq_exec_show", [](Body &b, const BatchCmd &c) { b.ShowAdditionalInfo->setChecked(c.firstFlag()); }},
        {"seq_exec_kst_std", [](Body &b, const BatchCmd &c) { b.SelDDir->isKSTStd_->setChecked(c.firstFlag()); }},
        {"seq_exec_dir",
         [](Body &b, const BatchCmd &c) {
             b.writtenBy.clear();
             b.SelDDir->SelDir->fileDialog().setDirectory(textArg(c));
             b.SelDDir->aDirSelected(textArg(c));
         }},
        {"seq_exec_file_pattern", [](Body &b, const BatchCmd &c) { b.SelDDir->Pattern->setText(textArg(c)); }},
        {"seq_exec_next", [](Body &b, const BatchCmd &) { b.nextDataSet(); }},
        {"seq_exec_set", [](Body &b, const BatchCmd &) { b.SelDDir->set(); }},
        {"seq_exec_select", [](Body &b, const BatchCmd &c) { b.selectDataSet(textArg(c)); }},
        // The whole sequence, as "Seq. Calc." runs it; answers when it has ended.
        {"seq_exec_calc",
         [](Body &b, const BatchCmd &) {
             b.sequenceByCommand = true;
             QMetaObject::invokeMethod(&b.xafsBatch, &XafsBatch::start, Qt::QueuedConnection);
         }},
        {"seq_exec_select_i0", [](Body &b, const BatchCmd &c) { b.loadInDir(*b.SelI0Files, textArg(c), patternArgs(c)); }},
    };
    return table;
}
