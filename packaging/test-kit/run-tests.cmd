@echo off
rem VentrelConf @VERSION@: the Windows test kit. Runs every test program of both architectures
rem from this folder, wherever it is, with the user's own rights, and writes report.txt and the
rem JUnit XML (results\) beside itself. The tests make what they need in temporary folders.
rem   run-tests.cmd            the tests; exits with 1 when one failed
rem   run-tests.cmd /packages  also, as an administrator on a spare PC, the x64 MSI's lifecycle
setlocal EnableExtensions DisableDelayedExpansion
set "kit=%~dp0"
set "report=%kit%report.txt"
set "results=%kit%results"
set "details=%kit%results\details.txt"
set failed=0
set packages=0
if /i "%~1"=="/packages" set packages=1
if exist "%results%" rmdir /s /q "%results%"
mkdir "%results%"
pushd "%kit%"

>"%report%" echo VentrelConf @VERSION@ test kit, run %DATE% %TIME% from %kit%
for /f "delims=" %%v in ('ver') do >>"%report%" echo Windows: %%v
for /f "tokens=2,*" %%a in ('reg query "HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion" /v ProductName 2^>nul ^| find "ProductName"') do >>"%report%" echo Product: %%b
for /f "tokens=3" %%a in ('reg query "HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion" /v CurrentBuild 2^>nul ^| find "CurrentBuild"') do >>"%report%" echo Build: %%a
for /f "tokens=3" %%a in ('reg query "HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage" /v ACP 2^>nul ^| find "ACP"') do >>"%report%" echo ANSI code page: %%a
for /f "tokens=3" %%a in ('reg query "HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage" /v OEMCP 2^>nul ^| find "OEMCP"') do >>"%report%" echo OEM code page: %%a
>>"%report%" echo Processor: %PROCESSOR_ARCHITECTURE% %PROCESSOR_ARCHITEW6432%
rem Each exit code is tested with "if errorlevel": Wine's cmd runs both sides of a conditional
rem command chain.
reg query "HKLM\Software\Wine" >nul 2>&1
if not errorlevel 1 >>"%report%" echo Under Wine: the tests that need a throwaway prefix run too
>>"%report%" echo.
type nul >"%details%"

set ran=0
call :architecture x64
call :architecture x86
if %ran%==0 (
  >>"%report%" echo No architecture's tests could run here.
  set failed=1
)
if %packages%==1 call :packages

>>"%report%" echo.
type "%details%" >>"%report%"
if %failed%==0 (>>"%report%" echo All the tests that ran passed.) else (>>"%report%" echo SOME TESTS FAILED: see above.)
popd
type "%report%"
echo.
echo The report is %report%; send it with the results folder beside it.
exit /b %failed%

rem :architecture ARCH: both test programs of one architecture, or why they cannot run here.
:architecture
if /i "%1"=="x64" if /i "%PROCESSOR_ARCHITECTURE%"=="x86" if not defined PROCESSOR_ARCHITEW6432 (
  >>"%report%" echo %1: NOT RUN: this Windows is 32-bit and runs no x64 programs
  goto :eof
)
"%kit%%1\tests\ventrel_unit_tests.exe" --gtest_list_tests >nul 2>&1
set code=%errorlevel%
rem 9009: the command could not be started; 193 and 216: not a program this system runs.
set cannot=
if "%code%"=="9009" set cannot=1
if "%code%"=="193" set cannot=1
if "%code%"=="216" set cannot=1
if defined cannot (
  >>"%report%" echo %1: NOT RUN: this system cannot start %1 programs ^(error %code%^)
  goto :eof
)
set /a ran+=1
call :program %1 tests\ventrel_unit_tests.exe
call :program %1 tests\win32\ventrel_win32_e2e_tests.exe
goto :eof

rem :program ARCH PATH: one test program, its counts in the report and its failures and skips in
rem the details.
:program
set "name=%1 %~n2"
set "log=%results%\%1-%~n2.log"
"%kit%%1\%2" --gtest_brief=1 --gtest_output=xml:"%results%\%1-%~n2.xml" >"%log%" 2>&1
set code=%errorlevel%
set total=
set passed=0
set skipped=0
for /f "tokens=2" %%n in ('find "[==========] " ^< "%log%"') do set total=%%n
for /f "tokens=4" %%n in ('find "[  PASSED  ] " ^< "%log%"') do set passed=%%n
for /f "tokens=4" %%n in ('find "[  SKIPPED ] " ^< "%log%"') do set skipped=%%n
if not defined total (
  >>"%report%" echo %name%: DID NOT FINISH, exit code %code%
  set failed=1
  goto :program_details
)
set /a lost=total-passed-skipped
>>"%report%" echo %name%: %total% tests, %passed% passed, %skipped% skipped, %lost% failed ^(exit code %code%^)
if not "%code%"=="0" set failed=1
if not "%lost%"=="0" set failed=1
if "%code%%lost%%skipped%"=="000" goto :eof
:program_details
>>"%details%" echo ==== %name%: failures and skips in full
type "%log%" >>"%details%"
>>"%details%" echo.
goto :eof

rem :packages: the x64 MSI installed, changed, repeated and removed with the real Windows
rem Installer, each step checked; only on a PC without VentrelConf, which it leaves as it found.
:packages
set "msi=%kit%packages\VentrelConf-@VERSION@-dremont-x64.msi"
set "key=HKLM\SOFTWARE\Dremont\VentrelConf"
set "setup=HKLM\SOFTWARE\Microsoft\Active Setup\Installed Components\VentrelConf Dremont"
set "user_setup=HKCU\Software\Microsoft\Active Setup\Installed Components\VentrelConf Dremont"
set "programs=%ProgramW6432%"
if not defined programs set "programs=%ProgramFiles%"
set "installed=%programs%\Dremont\Zorvik - LAN PANORAMIC"
set "data=%APPDATA%\Dremont"
set "board=%APPDATA%\Dremont\Zorvik - LAN PANORAMIC\VENTREL_DLL.INI"
set why=
if /i "%PROCESSOR_ARCHITECTURE%"=="x86" if not defined PROCESSOR_ARCHITEW6432 set "why=this Windows is 32-bit"
net session >nul 2>&1
if errorlevel 1 set "why=it needs a command prompt run as administrator"
reg query "%key%" /reg:64 >nul 2>&1
if not errorlevel 1 set "why=VentrelConf is installed here: this is no spare PC"
if exist "%programs%\Dremont" set "why=%programs%\Dremont exists: this is no spare PC"
if exist "%data%" set "why=%data% exists: this is no spare PC"
reg query "%user_setup%" >nul 2>&1
if not errorlevel 1 set "why=this user has run VentrelConf's Active Setup: this is no spare PC"
if not exist "%msi%" set "why=the kit holds no x64 MSI"
if defined why (
  >>"%report%" echo packages: NOT RUN: %why%
  set failed=1
  goto :eof
)
set brand_key=
reg query "HKLM\SOFTWARE\Dremont" /reg:64 >nul 2>&1
if not errorlevel 1 set brand_key=1
set step_failed=0
set msi_run=0
rem The installing user's board file, as the driver leaves it; the folder is made here, so it
rem goes again at the end.
mkdir "%APPDATA%\Dremont\Zorvik - LAN PANORAMIC"
>"%board%" echo [BOARD]
>>"%board%" echo TYPE=200
>"%results%\board-301.ini" echo [BOARD]
>>"%results%\board-301.ini" echo TYPE=300
>>"%results%\board-301.ini" echo TYPE_SUB=301
>"%results%\board-200.ini" echo [BOARD]
>>"%results%\board-200.ini" echo TYPE=200
>>"%results%\board-200.ini" echo TYPE_SUB=301

call :msiexec "install with MODEL=301" /i "MODEL=301"
call :installed_model 301
call :board 301 "the installing user's board file holds 301"
set before=
for /f "tokens=3" %%v in ('reg query "%setup%" /v Version /reg:64 2^>nul ^| find "Version"') do set "before=%%v"
if defined before (call :pass "Active Setup's Version is %before%") else (call :fail "Active Setup has no Version")

call :msiexec "the same line again" /i "MODEL=301"
set after=
for /f "tokens=3" %%v in ('reg query "%setup%" /v Version /reg:64 2^>nul ^| find "Version"') do set "after=%%v"
if "%before%"=="%after%" (call :pass "the same line again leaves Active Setup's Version") else (call :fail "the same line again changed Active Setup's Version to %after%")
call :installed_model 301
call :board 301 "the same line again leaves the board file"

call :msiexec "a model change to 200" /i "MODEL=200"
call :installed_model 200
call :board 200 "the installing user's board file holds 200"

call :msiexec "uninstall" /x
reg query "%key%" /v Model /reg:64 >nul 2>&1
if errorlevel 1 (call :pass "uninstall removes the registry's Model") else (call :fail "uninstall left the registry's Model")
if exist "%installed%" (call :fail "uninstall left %installed%") else (call :pass "uninstall removes %installed%")
call :board 200 "uninstall leaves the board file"

rem Back as found: what this part made, and only that (none of it was there before; Wine's
rem Windows Installer leaves the package's emptied key).
rmdir /s /q "%data%"
reg delete "%user_setup%" /f >nul 2>&1
reg delete "%key%" /f /reg:64 >nul 2>&1
if not defined brand_key reg delete "HKLM\SOFTWARE\Dremont" /f /reg:64 >nul 2>&1
>>"%report%" echo packages: the x64 MSI's lifecycle, %step_failed% checks failed ^(logs in results\^)
goto :eof

rem :msiexec WHAT /i^|/x ["PROPERTY=VALUE"] (quoted: "=" parts a call's arguments): one silent Windows Installer run, which must succeed.
:msiexec
set /a msi_run+=1
start "" /wait msiexec %2 "%msi%" /qn %~3 /l*v "%results%\msiexec-%msi_run%.log"
call :verdict "%~1 (msiexec)"
goto :eof

rem :board MODEL WHAT: the installing user's board file, byte for byte as the model leaves it (and
rem its two lines on their own, for Wine's fc, which finds every pair of files the same).
:board
fc /b "%board%" "%results%\board-%1.ini" >nul 2>&1
call :verdict "%~2"
set type=300
if "%1"=="200" set type=200
find "TYPE=%type%" "%board%" >nul 2>&1
call :verdict "%~2: TYPE=%type%"
find "TYPE_SUB=301" "%board%" >nul 2>&1
call :verdict "%~2: TYPE_SUB=301"
goto :eof

rem :installed_model MODEL: the model where detection rules and the per-user step read it.
:installed_model
reg query "%key%" /v Model /reg:64 2>nul | find "%1" >nul
call :verdict "the registry's Model is %1"
find "%1" "%installed%\Provisioning\Provisioning.ini" >nul 2>&1
call :verdict "Provisioning.ini names %1"
goto :eof

rem :verdict WHAT: the exit code of the command just run; 0 is a pass.
:verdict
if not "%errorlevel%"=="0" (
  call :fail "%~1, exit code %errorlevel%"
) else (
  call :pass "%~1"
)
goto :eof

:pass
>>"%details%" echo ok:   packages: %~1
goto :eof

:fail
>>"%details%" echo FAIL: packages: %~1
>>"%report%" echo packages: FAIL: %~1
set /a step_failed+=1
set failed=1
goto :eof
