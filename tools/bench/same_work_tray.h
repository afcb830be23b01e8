// Resource ids shared by same_work_tray.cpp and its resource script.
#pragma once
#define IDR_SAME_WORK_SOUND 101
