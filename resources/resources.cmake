# The program's embedded resources: one line per file. Images drawn at scale
# 2 and 3 (name@2x.png, name@3x.png) take the id of their scale-1 image plus
# 1000 and 2000 (gui/EditorScale.h).
snarlbox_resource(101 PNG resources/img/BlueKnob3.png)
snarlbox_resource(102 PNG resources/img/RedOpener.png)
snarlbox_resource(103 PNG resources/img/SnarlboxBG_g.png)
snarlbox_resource(1101 PNG resources/img/BlueKnob3@2x.png)
snarlbox_resource(1102 PNG resources/img/RedOpener@2x.png)
snarlbox_resource(1103 PNG resources/img/SnarlboxBG_g@2x.png)
snarlbox_resource(2101 PNG resources/img/BlueKnob3@3x.png)
snarlbox_resource(2102 PNG resources/img/RedOpener@3x.png)
snarlbox_resource(2103 PNG resources/img/SnarlboxBG_g@3x.png)
snarlbox_resource(40003 ICON resources/img/Snarlbox.png)
snarlbox_resource(41003 ICON resources/img/Snarlbox@2x.png)
snarlbox_resource(42003 ICON resources/img/Snarlbox@3x.png)
