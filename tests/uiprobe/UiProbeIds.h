// Resource ids shared by UiProbe.rc and UiProbe.cpp (plain macros: windres reads this).
#pragma once

#define kIconProbe 1
#define kStringShort 300
#define kStringLong 301

#define kDialogControls 200
#define kDialogDisabledDefault 201

#define kIdNext 1000
#define kIdBack 1001
#define kIdRich 1005
#define kIdCheck 1006
#define kIdEdit 1007
#define kIdRadioA 1010
#define kIdRadioB 1011
#define kIdList 1012
#define kIdProgress 1013
#define kIdStatus 1014
#define kIdLabel 1015
