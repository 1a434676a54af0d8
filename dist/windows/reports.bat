@echo off
rem gridtally in two clicks. Keep this file next to gridtally.exe.
rem  - Drop replays (.rpy) on it: each gets its results page (.html) and its
rem    text report (.txt) beside it, with the carset found as --cst-auto
rem    finds it from the replay's folder; the first page opens in the browser.
rem  - Drop a season file (.ini) on it: the season's site is built in a
rem    folder beside it (league.ini gives league-site\), replacing the one
rem    an earlier drop built, and its index.html opens.
rem  - Double-click it: it says how to use it.
rem On an error the window stays open with the message.
rem Set GRIDTALLY_NO_OPEN=1 to write the files without opening the browser.
rem Exit status: 0, or 1 when gridtally.exe is missing or a file failed.
setlocal
set "gridtally=%~dp0gridtally.exe"
if not exist "%gridtally%" goto noexe
if "%~1"=="" goto usage

set failed=0
set "first="
:next
if "%~1"=="" goto done
if /i "%~x1"==".ini" call :season "%~f1"
if /i not "%~x1"==".ini" call :replay "%~f1"
shift
goto next

:done
if defined first call :open "%first%"
if %failed%==0 exit /b 0
echo.
echo %failed% of the dropped files failed: see the messages above.
goto stop

rem A replay: its page, then its text report. --cst-auto looks for the
rem carset from the current folder, so run in the replay's.
:replay
pushd "%~dp1"
"%gridtally%" --cst-auto --format=html -osame --force "%~nx1"
if %ERRORLEVEL% neq 0 goto failed
"%gridtally%" --cst-auto -osame --force "%~nx1"
if %ERRORLEVEL% neq 0 goto failed
if not defined first set "first=%~dpn1.html"
popd
exit /b

rem A season file: its site in a folder beside it. gridtally replaces only
rem a folder it wrote itself, so a second drop rebuilds the site.
:season
pushd "%~dp1"
"%gridtally%" --season "%~nx1" --site "%~n1-site" --force
if %ERRORLEVEL% neq 0 goto failed
if not defined first set "first=%~dpn1-site\index.html"
popd
exit /b

:failed
echo %1: gridtally ended with status %ERRORLEVEL%
set /a failed+=1
popd
exit /b

:open
echo First page: %1
if not defined GRIDTALLY_NO_OPEN start "" %1
exit /b

:usage
echo reports.bat writes web pages and reports with gridtally.exe.
echo.
echo Drop one or more replays (.rpy) on this file: each replay gets its
echo results page (.html) and text report (.txt) beside it, and the first
echo page opens in your browser. The carset is looked for in the replay's
echo folder, its cst folder and the usual GEM+ folders.
echo.
echo Drop a season file (.ini) on it: the season's web site is built in a
echo folder beside the file (league.ini gives league-site) and its
echo index.html opens. Upload that folder to publish the season.
echo.
pause
exit /b 0

:noexe
echo gridtally.exe is not in the folder of reports.bat:
echo "%~dp0"
echo Keep reports.bat next to gridtally.exe.
:stop
pause
exit /b 1
