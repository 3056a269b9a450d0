<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>MainWindow</name>
    <message>
        <source>Open a folder to begin</source>
        <translation>Öffnen Sie einen Ordner, um zu beginnen</translation>
    </message>
</context>
</TS>
