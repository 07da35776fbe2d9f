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
</TS>
