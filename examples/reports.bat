@echo off
rem Writes a report next to every replay in the current folder.
rem gridtally.exe must be in this folder or on the PATH.
set failures=0
for %%f in (*.rpy) do call :report "%%f"
if %failures% neq 0 (
  echo %failures% replays failed
  exit /b 1
)
exit /b 0

:report
gridtally.exe --cst-auto -osame --force %1
if %ERRORLEVEL% neq 0 (
  echo %~1: gridtally ended with status %ERRORLEVEL%
  set /a failures+=1
)
exit /b
