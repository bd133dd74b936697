# Runs one script test: cmake -DQAVZ=... -DSCRIPT=... -P run_script.cmake
# Scripts are Shift-JIS sources, so the Japanese texts they expect are named
# here by error code instead of being written in them.
cmake_policy(SET CMP0007 NEW)
set(messages
  "内部エラー" "メモリの確保に失敗しました" "ファイルのオープンに失敗しました"
  "ファイルの読み込みに失敗しました" "ディレクティプ命令でエラーが発生しました"
  "インクルードファイルの指定が間違ってます" "インクルードファイルのネスト回数が多すぎます"
  "マクロの参照回数が１６回を超えました" "変数（関数）の宣言に誤りがあります"
  "式の記述に誤りがあります" "０で除算しました" "定数がありません" "文法エラー"
  "変数がありません" "型の指定が間違っています" "定義されていない文字列です"
  "文字列は一行内に記述してください" "クォーテーションがありません"
  "グローバルシンボルの数が多すぎます" "ローカルシンボルの数が多すぎます"
  "シンボルバッファの長さをオーバーしました" "一行の長さが長すぎます"
  "ヒープ領域が溢れました" "プログラム領域が足りません" "コンパイル途中で EOF が現れました")
file(STRINGS "${SCRIPT}" lines ENCODING UTF-8)
set(expected "")
set(result "")
set(status 0)
set(stderrWanted "")
set(stderrLines "")
foreach(line IN LISTS lines)
  if(line MATCHES "^// expect: (.*)$")
    list(APPEND expected "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^// result: (.*)$")
    set(result "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^// status: (.*)$")
    set(status "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^// stderr: (.*)$")
    list(APPEND stderrWanted "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^// stderr-line: (.*)$")
    list(APPEND stderrLines "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^// error: ([^ ]*) ([0-9]+)$")
    list(GET messages ${CMAKE_MATCH_2} text)
    list(APPEND stderrWanted "${CMAKE_MATCH_1} : ${text}。")
  elseif(line MATCHES "^// missing: (.*)$")
    list(APPEND stderrWanted "${CMAKE_MATCH_1} がありません")
  elseif(line MATCHES "^// undefined-function: (.*)$")
    list(APPEND stderrLines "${CMAKE_MATCH_1} 関数は定義されていません。")
  endif()
endforeach()

get_filename_component(dir "${SCRIPT}" DIRECTORY)
execute_process(COMMAND "${QAVZ}" run --headless --result --timeout 20000 "${SCRIPT}"
  WORKING_DIRECTORY "${dir}"
  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)

set(failed "")
if(NOT code STREQUAL status)
  string(APPEND failed "exit status ${code}, expected ${status}\n")
endif()
string(REPLACE "\n" ";" outLines "${out}")
set(logLines "")
set(resultLine "")
foreach(l IN LISTS outLines)
  if(l MATCHES "^result: (.*)$")
    set(resultLine "${CMAKE_MATCH_1}")
  elseif(NOT l STREQUAL "")
    list(APPEND logLines "${l}")
  endif()
endforeach()
if(NOT "${logLines}" STREQUAL "${expected}")
  string(APPEND failed "log lines:\n  ${logLines}\nexpected:\n  ${expected}\n")
endif()
if(NOT result STREQUAL "" AND NOT resultLine STREQUAL result)
  string(APPEND failed "result '${resultLine}', expected '${result}'\n")
endif()
foreach(want IN LISTS stderrWanted)
  string(FIND "${err}" "${want}" at)
  if(at EQUAL -1)
    string(APPEND failed "standard error lacks '${want}'\n")
  endif()
endforeach()
string(REPLACE "\n" ";" errLines "${err}")
foreach(want IN LISTS stderrLines)
  list(FIND errLines "${want}" at)
  if(at EQUAL -1)
    string(APPEND failed "standard error lacks the line '${want}'\n")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "${SCRIPT}\n${failed}--- stdout\n${out}--- stderr\n${err}")
endif()
