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
        <source>Zorvel CT workbench</source>
        <translation>Zorvel CT ワークベンチ</translation>
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
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Img</source>
        <translation>画像表示</translation>
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
