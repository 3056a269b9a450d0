<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<!-- The English plural forms of the texts that count: the source texts carry
     "(s)", and this catalogue gives each count its form. Only messages with a
     count belong here. -->
<context>
    <name>MainWindow</name>
    <message numerus="yes">
        <source>&amp;%n Star(s)</source>
        <translation>
            <numerusform>&amp;%n Star</numerusform>
            <numerusform>&amp;%n Stars</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n photo(s)</source>
        <translation>
            <numerusform>%n photo</numerusform>
            <numerusform>%n photos</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n XMP sidecar(s)</source>
        <translation>
            <numerusform>%n XMP sidecar</numerusform>
            <numerusform>%n XMP sidecars</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n file(s)</source>
        <translation>
            <numerusform>%n file</numerusform>
            <numerusform>%n files</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ViewerWidget</name>
    <message numerus="yes">
        <source>%n star(s)</source>
        <translation>
            <numerusform>%n star</numerusform>
            <numerusform>%n stars</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>at least %n star(s)</source>
        <translation>
            <numerusform>at least %n star</numerusform>
            <numerusform>at least %n stars</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TransferTexts</name>
    <message numerus="yes">
        <source>%n selected photo(s)</source>
        <translation>
            <numerusform>%n selected photo</numerusform>
            <numerusform>%n selected photos</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n photo(s)</source>
        <translation>
            <numerusform>%n photo</numerusform>
            <numerusform>%n photos</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n star(s)</source>
        <translation>
            <numerusform>%n star</numerusform>
            <numerusform>%n stars</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n star(s) or more</source>
        <translation>
            <numerusform>%n star or more</numerusform>
            <numerusform>%n stars or more</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Mo&amp;ve %n Selected Photo(s) To…</source>
        <translation>
            <numerusform>Mo&amp;ve %n Selected Photo To…</numerusform>
            <numerusform>Mo&amp;ve %n Selected Photos To…</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Mo&amp;ve %n Shown Photo(s) To…</source>
        <translation>
            <numerusform>Mo&amp;ve %n Shown Photo To…</numerusform>
            <numerusform>Mo&amp;ve %n Shown Photos To…</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>&amp;Copy %n Selected Photo(s) To…</source>
        <translation>
            <numerusform>&amp;Copy %n Selected Photo To…</numerusform>
            <numerusform>&amp;Copy %n Selected Photos To…</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>&amp;Copy %n Shown Photo(s) To…</source>
        <translation>
            <numerusform>&amp;Copy %n Shown Photo To…</numerusform>
            <numerusform>&amp;Copy %n Shown Photos To…</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n XMP sidecar(s)</source>
        <translation>
            <numerusform>%n XMP sidecar</numerusform>
            <numerusform>%n XMP sidecars</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>BurstPreferences</name>
    <message numerus="yes">
        <source>%n star(s)</source>
        <translation>
            <numerusform>%n star</numerusform>
            <numerusform>%n stars</numerusform>
        </translation>
    </message>
</context>
</TS>
