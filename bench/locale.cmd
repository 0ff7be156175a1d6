@echo off
rem What an administrator would write instead of Tavrelon.exe: query and
rem set Locale at both locations with reg.exe (target fixed to en-US).
reg query "HKCU\Control Panel\International" /v Locale >nul
reg add "HKCU\Control Panel\International" /v Locale /t REG_SZ /d 00000409 /f >nul
reg query "HKU\.DEFAULT\Control Panel\International" /v Locale >nul
reg add "HKU\.DEFAULT\Control Panel\International" /v Locale /t REG_SZ /d 00000409 /f >nul
exit /b 1
