# The program's embedded resources: one line per file.
snarlbox_resource(101 PNG resources/img/BlueKnob3.png)
snarlbox_resource(102 PNG resources/img/RedOpener.png)
snarlbox_resource(103 PNG resources/img/SnarlboxBG_g.png)
snarlbox_resource(40003 ICON resources/img/Snarlbox.png)
