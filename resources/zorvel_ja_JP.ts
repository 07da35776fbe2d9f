<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en">
<context>
    <name>Body</name>
    <message>
        <source>Zorvel</source>
        <translation>Zorvel</translation>
    </message>
    <message>
        <source>Row Images</source>
        <translation>投影像</translation>
    </message>
    <message>
        <source>I0 Image</source>
        <translation>I0 画像</translation>
    </message>
    <message>
        <source>BG Image</source>
        <translation>BG 画像</translation>
    </message>
    <message>
        <source>CT Proc. Ctrl</source>
        <translation>CT 処理設定</translation>
    </message>
    <message>
        <source>CT1</source>
        <translation>CT1</translation>
    </message>
    <message>
        <source>CT2</source>
        <translation>CT2</translation>
    </message>
    <message>
        <source>Show Res.</source>
        <translation>結果表示</translation>
    </message>
    <message>
        <source>Calc</source>
        <translation>計算</translation>
    </message>
    <message>
        <source>Slices done of the slices of the run</source>
        <translation>完了したスライス数 / 全スライス数</translation>
    </message>
    <message>
        <source>CT Image</source>
        <translation>CT 画像</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>End</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Spent</source>
        <translation>所要</translation>
    </message>
    <message>
        <source>Fix Color Scale</source>
        <translation>カラースケール固定</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>最小</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>最大</translation>
    </message>
    <message>
        <source>Auto Save Img</source>
        <translation>画像自動保存</translation>
    </message>
    <message>
        <source>Auto Save Data</source>
        <translation>データ自動保存</translation>
    </message>
    <message>
        <source>Show Additionl Info for CT XAFS</source>
        <translation>CT-XAFS 追加情報を表示</translation>
    </message>
    <message>
        <source>Sequential Exec</source>
        <translation>連続実行</translation>
    </message>
    <message>
        <source>Seq. Calc.</source>
        <translation>連続計算</translation>
    </message>
    <message>
        <source>Progress Msg.</source>
        <translation>進行状況</translation>
    </message>
    <message>
        <source>[ms]</source>
        <translation>[ms]</translation>
    </message>
    <message>
        <source>Raw Image</source>
        <translation>生画像</translation>
    </message>
    <message>
        <source>Sinogram</source>
        <translation>サイノグラム</translation>
    </message>
    <message>
        <source>CT Reconstructed Image</source>
        <translation>CT 再構成像</translation>
    </message>
    <message>
        <source>I0 File Set</source>
        <translation>I0 ファイル群</translation>
    </message>
    <message>
        <source>I0 of Raw Image</source>
        <translation>投影像の I0</translation>
    </message>
    <message>
        <source>I0 of I0 Image</source>
        <translation>I0 画像の I0</translation>
    </message>
    <message>
        <source>Measured Raw Image</source>
        <translation>測定生画像</translation>
    </message>
    <message>
        <source>Check Sinogram</source>
        <translation>サイノグラム確認</translation>
    </message>
    <message>
        <source>CT Reconstruction</source>
        <translation>CT 再構成</translation>
    </message>
    <message>
        <source>CT2 %1</source>
        <translation>CT2 %1</translation>
    </message>
    <message>
        <source>CT Calc2 %1</source>
        <translation>CT 計算2 %1</translation>
    </message>
    <message>
        <source>%1 / %2</source>
        <translation>%1 / %2</translation>
    </message>
    <message>
        <source>%1 - Quantitative (%2)</source>
        <translation>%1 - 定量 (%2)</translation>
    </message>
    <message>
        <source>it holds no image</source>
        <translation>画像がありません</translation>
    </message>
    <message>
        <source>%1 of its %2 images could not be used</source>
        <translation>%2 枚の画像のうち %1 枚が使えませんでした</translation>
    </message>
    <message>
        <source>its %1 image cannot be read: %2</source>
        <translation>%1 画像を読めません: %2</translation>
    </message>
    <message>
        <source>the centre of rotation %1</source>
        <translation>回転中心 %1</translation>
    </message>
    <message>
        <source>the slices %1..%2</source>
        <translation>スライス %1..%2</translation>
    </message>
    <message>
        <source>the slice %1</source>
        <translation>スライス %1</translation>
    </message>
    <message>
        <source>the regions</source>
        <translation>範囲</translation>
    </message>
    <message>
        <source>%1 do not fit its images of %2 x %3</source>
        <translation>%1 が %2 x %3 の画像に合いません</translation>
    </message>
    <message>
        <source>data set %1</source>
        <translation>データセット %1</translation>
    </message>
    <message>
        <source>the results tagged %1</source>
        <translation>タグ %1 の結果</translation>
    </message>
    <message>
        <source>its results would overwrite those of %1: %2</source>
        <translation>結果が %1 の結果を上書きします: %2</translation>
    </message>
</context>
<context>
    <name>CBarUI</name>
    <message>
        <source>Frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fix</source>
        <translation>固定</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>最小</translation>
    </message>
    <message>
        <source>0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Max</source>
        <translation>最大</translation>
    </message>
    <message>
        <source>1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CtCalc</name>
    <message>
        <source>CT Calc</source>
        <translation>CT 計算</translation>
    </message>
    <message>
        <source>Disp R.</source>
        <translation>表示範囲</translation>
    </message>
    <message>
        <source>-</source>
        <translation>-</translation>
    </message>
    <message>
        <source>Set To C. Region</source>
        <translation>計算範囲に設定</translation>
    </message>
    <message>
        <source>Cacl R.</source>
        <translation>計算範囲</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>End</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Spent [sec]</source>
        <translation>所要 [秒]</translation>
    </message>
    <message>
        <source>Slice No.</source>
        <translation>スライス番号</translation>
    </message>
    <message>
        <source>Calc</source>
        <translation>計算</translation>
    </message>
    <message>
        <source>At Once</source>
        <translation>一括</translation>
    </message>
</context>
<context>
    <name>DispAWLayout</name>
    <message>
        <source>Frame</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>I0ofImage</name>
    <message>
        <source>I0 of Image</source>
        <translation>画像の I0</translation>
    </message>
    <message>
        <source>Calc from XAFS file</source>
        <translation>XAFS ファイルから計算</translation>
    </message>
    <message>
        <source>Eng. Ptn in Img F. Name :</source>
        <translation>画像ファイル名のエネルギー書式 :</translation>
    </message>
    <message>
        <source>I0 of Data Set :</source>
        <translation>データセットの I0 :</translation>
    </message>
    <message>
        <source>XAFS data (*.dat *.txt)</source>
        <translation>XAFS データ (*.dat *.txt)</translation>
    </message>
    <message>
        <source>Any file (* *.*)</source>
        <translation>全てのファイル (* *.*)</translation>
    </message>
</context>
<context>
    <name>ImgDisp</name>
    <message>
        <source>Keep aspect ratio</source>
        <translation>縦横比を保つ</translation>
    </message>
    <message>
        <source>PNG picture as shown (*.png)</source>
        <translation>表示どおりの PNG 画像 (*.png)</translation>
    </message>
    <message>
        <source>32-bit float TIFF of the values (*.tif *.tiff)</source>
        <translation>値の 32 ビット浮動小数点 TIFF (*.tif *.tiff)</translation>
    </message>
    <message>
        <source>Save view as…</source>
        <translation>表示を名前を付けて保存…</translation>
    </message>
</context>
<context>
    <name>ImgDispWCBar</name>
    <message>
        <source>Image Display with Color Bar</source>
        <translation>カラーバー付き画像表示</translation>
    </message>
</context>
<context>
    <name>ImgDispWPV</name>
    <message>
        <source>Image Display with Position and Value</source>
        <translation>位置・値付き画像表示</translation>
    </message>
    <message>
        <source>X</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Y</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Val:</source>
        <translation>値:</translation>
    </message>
    <message>
        <source>Scale Reset</source>
        <translation>表示リセット</translation>
    </message>
</context>
<context>
    <name>PopDockBase</name>
    <message>
        <source>Frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pop/Dock</source>
        <translation>分離/結合</translation>
    </message>
</context>
<context>
    <name>ProcCtrl</name>
    <message>
        <source>Proc Control</source>
        <translation>処理制御</translation>
    </message>
    <message>
        <source>Slice : </source>
        <translation>スライス : </translation>
    </message>
    <message>
        <source>Current</source>
        <translation>現在</translation>
    </message>
    <message>
        <source>1000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto Exec</source>
        <translation>自動実行</translation>
    </message>
    <message>
        <source>From</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>To</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>2047</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Step</source>
        <translation>間隔</translation>
    </message>
    <message>
        <source>1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Threads</source>
        <translation>スレッド</translation>
    </message>
    <message>
        <source>Rotation : </source>
        <translation>回転 : </translation>
    </message>
    <message>
        <source>  Center</source>
        <translation>  中心</translation>
    </message>
    <message>
        <source>  Ax</source>
        <translation>  軸</translation>
    </message>
    <message>
        <source>H</source>
        <translation>水平</translation>
    </message>
    <message>
        <source>V</source>
        <translation>垂直</translation>
    </message>
    <message>
        <source>Auto Update Sinogram</source>
        <translation>サイノグラム自動更新</translation>
    </message>
    <message>
        <source>Padded exact Ram-Lak filter: slices in attenuation per pixel</source>
        <translation>パディングした厳密な Ram-Lak フィルタ: 画素あたりの吸収係数で再構成</translation>
    </message>
    <message>
        <source>Quantitative</source>
        <translation>定量</translation>
    </message>
    <message>
        <source>Window of the quantitative filter</source>
        <translation>定量フィルタの窓関数</translation>
    </message>
    <message>
        <source>Ram-Lak</source>
        <translation>Ram-Lak</translation>
    </message>
    <message>
        <source>Shepp-Logan</source>
        <translation>Shepp-Logan</translation>
    </message>
    <message>
        <source>Cosine</source>
        <translation>コサイン</translation>
    </message>
    <message>
        <source>Hamming</source>
        <translation>ハミング</translation>
    </message>
    <message>
        <source>Hann</source>
        <translation>ハン</translation>
    </message>
</context>
<context>
    <name>SeekCtrl</name>
    <message>
        <source>SeekCtrl</source>
        <translation>画像選択</translation>
    </message>
    <message>
        <source>...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SelectAFile</name>
    <message>
        <source>Frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select</source>
        <translation>選択</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>クリア</translation>
    </message>
    <message>
        <source>Img file (*.img)</source>
        <translation>Img ファイル (*.img)</translation>
    </message>
    <message>
        <source>Tiff file (*.tif *.tiff)</source>
        <translation>Tiff ファイル (*.tif *.tiff)</translation>
    </message>
    <message>
        <source>Any file (* *.*)</source>
        <translation>全てのファイル (* *.*)</translation>
    </message>
</context>
<context>
    <name>SelectAImgFile</name>
    <message>
        <source>Exp Time</source>
        <translation>露光時間</translation>
    </message>
    <message>
        <source>0.05</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[s]</source>
        <translation>[s]</translation>
    </message>
    <message>
        <source>Show Img</source>
        <translation>画像表示</translation>
    </message>
    <message>
        <source>still in use: &quot;%1&quot;</source>
        <translation>使用中: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>no image in use</source>
        <translation>使用中の画像なし</translation>
    </message>
    <message>
        <source>Could not read &quot;%1&quot;; %2</source>
        <translation>&quot;%1&quot; を読めませんでした; %2</translation>
    </message>
</context>
<context>
    <name>SelectDataDir</name>
    <message>
        <source>Frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KST Std.</source>
        <translation>KST 標準</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>次へ</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Pattern</source>
        <translation>パターン</translation>
    </message>
    <message>
        <source>Sel. Data Dir.</source>
        <translation>データフォルダ選択</translation>
    </message>
</context>
<context>
    <name>SelectDataFiles</name>
    <message>
        <source>Frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data Select</source>
        <translation>データ選択</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新規</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>追加</translation>
    </message>
    <message>
        <source>keep Conds.</source>
        <translation>条件保持</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>クリア</translation>
    </message>
    <message>
        <source>Exp. Time[s]</source>
        <translation>露光時間[s]</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;When Checked : The first file in the list will be read multitimes ( ex. 180 times )&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;チェック時 : リストの最初のファイルを指定回数 ( 例 180 回 ) 読み込みます&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Multi.</source>
        <translation>複数回</translation>
    </message>
    <message>
        <source>Itex File (*.img)</source>
        <translation>Itex ファイル (*.img)</translation>
    </message>
    <message>
        <source>Tiff File (*.tif *.tiff)</source>
        <translation>Tiff ファイル (*.tif *.tiff)</translation>
    </message>
    <message>
        <source>Any Files (* *.*)</source>
        <translation>全てのファイル (* *.*)</translation>
    </message>
</context>
<context>
    <name>SelectDir</name>
    <message>
        <source>Frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sel. Dir</source>
        <translation>フォルダ選択</translation>
    </message>
    <message>
        <source>(*)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Sinogram</name>
    <message>
        <source>Sinogram</source>
        <translation>サイノグラム</translation>
    </message>
    <message>
        <source>CoR</source>
        <translation>回転中心</translation>
    </message>
    <message>
        <source>1000</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gen Image</source>
        <translation>画像生成</translation>
    </message>
    <message>
        <source>Estimate the centre of rotation of the current slice</source>
        <translation>現在のスライスの回転中心を推定します</translation>
    </message>
    <message>
        <source>Find CoR</source>
        <translation>回転中心推定</translation>
    </message>
    <message>
        <source>Gen Fou. Sinogram</source>
        <translation>フーリエサイノグラム生成</translation>
    </message>
</context>
<context>
    <name>XafsBatch</name>
    <message>
        <source>Data Loading</source>
        <translation>データ読込中</translation>
    </message>
    <message>
        <source>Calculating</source>
        <translation>計算中</translation>
    </message>
    <message>
        <source>Finished Calc.</source>
        <translation>計算終了</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>終了</translation>
    </message>
</context>
</TS>
