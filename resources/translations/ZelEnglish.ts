<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CommandLine</name>
    <message>
        <source>Client of the radar flow instrument, a Modbus RTU slave on a serial line.</source>
        <translation>Client of the radar flow instrument, a Modbus RTU slave on a serial line.</translation>
    </message>
    <message>
        <source>The port to use: a device path such as /dev/ttyUSB0 or /dev/serial/by-id/..., a pseudo-terminal, a platform name, tcp://HOST:PORT for a transparent serial server, or modbus-tcp://HOST[:PORT] for a Modbus TCP gateway (port 502 by default).</source>
        <translation>The port to use: a device path such as /dev/ttyUSB0 or /dev/serial/by-id/..., a pseudo-terminal, a platform name, tcp://HOST:PORT for a transparent serial server, or modbus-tcp://HOST[:PORT] for a Modbus TCP gateway (port 502 by default).</translation>
    </message>
    <message>
        <source>NAME</source>
        <translation>NAME</translation>
    </message>
    <message>
        <source>The instrument&apos;s slave address, hexadecimal from 0x01 to 0xF7 (default 0x80).</source>
        <translation>The instrument&apos;s slave address, hexadecimal from 0x01 to 0xF7 (default 0x80).</translation>
    </message>
    <message>
        <source>ADDR</source>
        <translation>ADDR</translation>
    </message>
    <message>
        <source>The poll interval, whole seconds from 1 to 65535.</source>
        <translation>The poll interval, whole seconds from 1 to 65535.</translation>
    </message>
    <message>
        <source>SECONDS</source>
        <translation>SECONDS</translation>
    </message>
    <message>
        <source>Open the port at start.</source>
        <translation>Open the port at start.</translation>
    </message>
    <message>
        <source>Open the port and measure as soon as the instrument answers; implies --connect and --reconnect.</source>
        <translation>Open the port and measure as soon as the instrument answers; implies --connect and --reconnect.</translation>
    </message>
    <message>
        <source>Keep the link alive unattended: a lost port is reopened every 5 seconds, and no warning waits for an answer.</source>
        <translation>Keep the link alive unattended: a lost port is reopened every 5 seconds, and no warning waits for an answer.</translation>
    </message>
    <message>
        <source>The folder for log.txt, database.db and xml/, created if missing (default: the working folder).</source>
        <translation>The folder for log.txt, database.db and xml/, created if missing (default: the working folder).</translation>
    </message>
    <message>
        <source>DIR</source>
        <translation>DIR</translation>
    </message>
    <message>
        <source>Use the user&apos;s data folder (%1); --data-dir wins over it.</source>
        <translation>Use the user&apos;s data folder (%1); --data-dir wins over it.</translation>
    </message>
    <message>
        <source>The interface language: zh or en (built in).</source>
        <translation>The interface language: zh or en (built in).</translation>
    </message>
    <message>
        <source>No window and no message box: warnings go to standard error and the log, questions are answered No.</source>
        <translation>No window and no message box: warnings go to standard error and the log, questions are answered No.</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>Unexpected argument &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>--port needs a port name, such as /dev/ttyUSB0.</source>
        <translation>--port needs a port name, such as /dev/ttyUSB0.</translation>
    </message>
    <message>
        <source>Bad value &apos;%1&apos; for --address: a hexadecimal address from 0x01 to 0xF7, such as 0x80.</source>
        <translation>Bad value &apos;%1&apos; for --address: a hexadecimal address from 0x01 to 0xF7, such as 0x80.</translation>
    </message>
    <message>
        <source>Bad value &apos;%1&apos; for --interval: whole seconds from 1 to 65535.</source>
        <translation>Bad value &apos;%1&apos; for --interval: whole seconds from 1 to 65535.</translation>
    </message>
    <message>
        <source>Bad value &apos;%1&apos; for --port: tcp://HOST:PORT or modbus-tcp://HOST[:PORT].</source>
        <translation>Bad value &apos;%1&apos; for --port: tcp://HOST:PORT or modbus-tcp://HOST[:PORT].</translation>
    </message>
    <message>
        <source>Bad value &apos;%1&apos; for --lang: zh or en.</source>
        <translation>Bad value &apos;%1&apos; for --lang: zh or en.</translation>
    </message>
    <message>
        <source>--data-dir needs a folder.</source>
        <translation>--data-dir needs a folder.</translation>
    </message>
    <message>
        <source>radarflow: cannot use the data folder %1
</source>
        <translation>radarflow: cannot use the data folder %1
</translation>
    </message>
    <message>
        <source>Convert a run file to CSV and exit: onto standard output, or into the file named after it.</source>
        <translation>Convert a run file to CSV and exit: onto standard output, or into the file named after it.</translation>
    </message>
    <message>
        <source>RUN.xml</source>
        <translation>RUN.xml</translation>
    </message>
    <message>
        <source>With --export-csv: the CSV file to write.</source>
        <translation>With --export-csv: the CSV file to write.</translation>
    </message>
    <message>
        <source>--export-csv takes a run file and at most one CSV file: --export-csv RUN.xml [OUT.csv].</source>
        <translation>--export-csv takes a run file and at most one CSV file: --export-csv RUN.xml [OUT.csv].</translation>
    </message>
    <message>
        <source>radarflow: the data folder %1 is in use by another radarflow (process %2)
</source>
        <translation>radarflow: the data folder %1 is in use by another radarflow (process %2)
</translation>
    </message>
</context>
<context>
    <name>Database</name>
    <message>
        <source>测量开始时间</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>测量持续时间</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>数据个数</source>
        <translation>Samples</translation>
    </message>
    <message>
        <source>流速平均值(m/s)</source>
        <translation>Mean velocity (m/s)</translation>
    </message>
    <message>
        <source>水位平均值(m)</source>
        <translation>Mean water level (m)</translation>
    </message>
    <message>
        <source>流量平均值(m3/s)</source>
        <translation>Mean flow (m3/s)</translation>
    </message>
    <message>
        <source>文件目录</source>
        <translation>File</translation>
    </message>
    <message>
        <source>文件操作</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>历史数据库已损坏（%1），已另存为 %2 并新建数据库，历史记录由测量文件重建。</source>
        <translation>The history database is damaged (%1); it was kept as %2 and a new database was created, refilled from the measurement files.</translation>
    </message>
    <message>
        <source>损坏的数据库无法改名（%1）</source>
        <translation>The damaged database could not be renamed (%1)</translation>
    </message>
    <message>
        <source>历史记录不可用：%1</source>
        <translation>History unavailable: %1</translation>
    </message>
    <message>
        <source>history 表的列不符：%1</source>
        <translation>The history table has the wrong columns: %1</translation>
    </message>
</context>
<context>
    <name>DetailInfo</name>
    <message>
        <source>详情</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>流速曲线</source>
        <translation>Velocity</translation>
    </message>
    <message>
        <source>水位曲线</source>
        <translation>Water Level</translation>
    </message>
    <message>
        <source>流量曲线</source>
        <translation>Flow</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>Whole Run</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>流速(m/s)</source>
        <translation>Velocity (m/s)</translation>
    </message>
    <message>
        <source>水位(m)</source>
        <translation>Water level (m)</translation>
    </message>
    <message>
        <source>流量(m³/s)</source>
        <translation>Flow (m³/s)</translation>
    </message>
    <message>
        <source>时间: %1 
流速: %2 m/s</source>
        <translation>Time: %1 
Velocity: %2 m/s</translation>
    </message>
    <message>
        <source>时间: %1 
水位: %2 m</source>
        <translation>Time: %1 
Water level: %2 m</translation>
    </message>
    <message>
        <source>时间: %1 
流量: %2 m³/s</source>
        <translation>Time: %1 
Flow: %2 m³/s</translation>
    </message>
    <message>
        <source>导出文件</source>
        <translation>Export File</translation>
    </message>
    <message>
        <source>XML数据(*.xml);;Excel 97-2003 工作簿(*.xls)</source>
        <translation>XML data (*.xml);;Excel 97-2003 Workbook (*.xls)</translation>
    </message>
    <message>
        <source>文件导出成功      </source>
        <translation>File exported.      </translation>
    </message>
    <message>
        <source>文件导出失败      </source>
        <translation>File export failed.      </translation>
    </message>
    <message>
        <source>测量文件无法读取：%1
%2</source>
        <translation>The measurement file cannot be read: %1
%2</translation>
    </message>
    <message>
        <source>测量文件不存在：%1</source>
        <translation>The measurement file does not exist: %1</translation>
    </message>
    <message>
        <source>文件不完整或已损坏（%1）</source>
        <translation>the file is incomplete or damaged (%1)</translation>
    </message>
    <message>
        <source>%1 行数据无法读取</source>
        <translation>%1 rows could not be read</translation>
    </message>
    <message>
        <source>测量文件 %1：%2。已显示可读取的 %3 行。</source>
        <translation>Measurement file %1: %2. The %3 readable rows are shown.</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
</context>
<context>
    <name>HistoryView</name>
    <message>
        <source>删除历史记录</source>
        <translation>Delete Record</translation>
    </message>
    <message>
        <source>数据删除后不可恢复，是否删除本条记录？</source>
        <translation>Deleted data cannot be recovered. Delete this record?</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>雷达波流速水位流量测量系统</source>
        <translation>Radar Velocity, Level and Flow Measurement System</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; color:#55aaff;&quot;&gt;PC软件版本: V1.05.A6&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; color:#55aaff;&quot;&gt;PC software: V1.05.A6&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&apos; color:#55aaff;&apos;&gt;设备软件版本：- -&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&apos; color:#55aaff;&apos;&gt;Device firmware: - -&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>主菜单</source>
        <translation>Main</translation>
    </message>
    <message>
        <source>测量曲线</source>
        <translation>Measurement Curves</translation>
    </message>
    <message>
        <source>查询间隔：</source>
        <translation>Interval:</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>开始测量</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>串口设置</source>
        <translation>Serial Port</translation>
    </message>
    <message>
        <source>串口：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>刷新串口</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>设备地址：</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;选择设备地址(十六进制)&lt;/p&gt;&lt;p&gt;忘记设备地址时可选择“查地址”查询&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Select the device address (hexadecimal).&lt;/p&gt;&lt;p&gt;If the address is unknown, choose “Find address” to look it up.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>0x80</source>
        <translation>0x80</translation>
    </message>
    <message>
        <source>0x01</source>
        <translation>0x01</translation>
    </message>
    <message>
        <source>0x02</source>
        <translation>0x02</translation>
    </message>
    <message>
        <source>0x03</source>
        <translation>0x03</translation>
    </message>
    <message>
        <source>0x04</source>
        <translation>0x04</translation>
    </message>
    <message>
        <source>0x05</source>
        <translation>0x05</translation>
    </message>
    <message>
        <source>0xC0</source>
        <translation>0xC0</translation>
    </message>
    <message>
        <source>0xE0</source>
        <translation>0xE0</translation>
    </message>
    <message>
        <source>0xF0</source>
        <translation>0xF0</translation>
    </message>
    <message>
        <source>查地址</source>
        <translation>Find address</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open Port</translation>
    </message>
    <message>
        <source>流速：</source>
        <translation>Velocity:</translation>
    </message>
    <message>
        <source>-.-- m/s</source>
        <translation>-.-- m/s</translation>
    </message>
    <message>
        <source>水位：</source>
        <translation>Water level:</translation>
    </message>
    <message>
        <source>-.-- m</source>
        <translation>-.-- m</translation>
    </message>
    <message>
        <source>空高：</source>
        <translation>Air gap:</translation>
    </message>
    <message>
        <source>瞬时流量：</source>
        <translation>Flow:</translation>
    </message>
    <message>
        <source>-.-- m³/s</source>
        <translation>-.-- m³/s</translation>
    </message>
    <message>
        <source>累计流量：</source>
        <translation>Total discharge:</translation>
    </message>
    <message>
        <source>-.-- m³</source>
        <translation>-.-- m³</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>流速仪信号强度：</source>
        <translation>Velocity signal:</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>水位计信号强度：</source>
        <translation>Level signal:</translation>
    </message>
    <message>
        <source>垂直角度：</source>
        <translation>Vertical angle:</translation>
    </message>
    <message>
        <source>测量曲线显示设置</source>
        <translation>Chart Display</translation>
    </message>
    <message>
        <source>流速纵坐标：</source>
        <translation>Velocity axis:</translation>
    </message>
    <message>
        <source>3</source>
        <translation>3</translation>
    </message>
    <message>
        <source>m/s</source>
        <translation>m/s</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>水位纵坐标：</source>
        <translation>Level axis:</translation>
    </message>
    <message>
        <source>10</source>
        <translation>10</translation>
    </message>
    <message>
        <source>m</source>
        <translation>m</translation>
    </message>
    <message>
        <source>流量纵坐标：</source>
        <translation>Flow axis:</translation>
    </message>
    <message>
        <source>m³/s</source>
        <translation>m³/s</translation>
    </message>
    <message>
        <source>系统设置</source>
        <translation>System</translation>
    </message>
    <message>
        <source>修改地址：</source>
        <translation>New address:</translation>
    </message>
    <message>
        <source>例如：0x01</source>
        <translation>For example: 0x01</translation>
    </message>
    <message>
        <source>(十六进制)</source>
        <translation>(hex)</translation>
    </message>
    <message>
        <source>修改</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>读出所有设置</source>
        <translation>Read All Settings</translation>
    </message>
    <message>
        <source>恢复出厂设置</source>
        <translation>Factory Reset</translation>
    </message>
    <message>
        <source>参数设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>水渠参数设置</source>
        <translation>Channel Geometry</translation>
    </message>
    <message>
        <source>水渠形状</source>
        <translation>Channel Shape</translation>
    </message>
    <message>
        <source>圆形</source>
        <translation>Circular</translation>
    </message>
    <message>
        <source>梯形</source>
        <translation>Trapezoidal</translation>
    </message>
    <message>
        <source>U型</source>
        <translation>U-shaped</translation>
    </message>
    <message>
        <source>圆形水渠半径R(m)：</source>
        <translation>Radius R(m):</translation>
    </message>
    <message>
        <source>梯形水渠底边长A(m)：</source>
        <translation>Bottom width A(m):</translation>
    </message>
    <message>
        <source>梯形水渠顶边长B(m)：</source>
        <translation>Top width B(m):</translation>
    </message>
    <message>
        <source>梯形水渠高度C(m)：</source>
        <translation>Height C(m):</translation>
    </message>
    <message>
        <source>水位计到水渠底部距离D(m)：</source>
        <translation>Radar to channel bed D(m):</translation>
    </message>
    <message>
        <source>参数写入</source>
        <translation>Write Parameters</translation>
    </message>
    <message>
        <source>水渠特性设置</source>
        <translation>Channel Properties</translation>
    </message>
    <message>
        <source>河流类型：</source>
        <translation>River type:</translation>
    </message>
    <message>
        <source>单一型</source>
        <translation>Simple</translation>
    </message>
    <message>
        <source>常规型</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>特一型</source>
        <translation>Special 1</translation>
    </message>
    <message>
        <source>特二型</source>
        <translation>Special 2</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>岸边系数：</source>
        <translation>Bank coefficient:</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>测量参数设置</source>
        <translation>Measurement</translation>
    </message>
    <message>
        <source>流速仪测量档位：</source>
        <translation>Velocity range:</translation>
    </message>
    <message>
        <source>流速仪噪声阈值：</source>
        <translation>Velocity noise gate:</translation>
    </message>
    <message>
        <source>800</source>
        <translation>800</translation>
    </message>
    <message>
        <source>流速仪滤波次数：</source>
        <translation>Velocity filter count:</translation>
    </message>
    <message>
        <source>20</source>
        <translation>20</translation>
    </message>
    <message>
        <source>[1-50]</source>
        <translation>[1-50]</translation>
    </message>
    <message>
        <source>设置水平角度：</source>
        <translation>Horizontal angle:</translation>
    </message>
    <message>
        <source>休眠时间设置：</source>
        <translation>Sleep time:</translation>
    </message>
    <message>
        <source>分</source>
        <translation>min</translation>
    </message>
    <message>
        <source>淤积高度：</source>
        <translation>Silt height:</translation>
    </message>
    <message>
        <source>米</source>
        <translation>m</translation>
    </message>
    <message>
        <source>流速仪雷达波方向：</source>
        <translation>Radar direction:</translation>
    </message>
    <message>
        <source>顺流</source>
        <translation>Downstream</translation>
    </message>
    <message>
        <source>逆流</source>
        <translation>Upstream</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>水位计噪声阈值：</source>
        <translation>Level noise gate:</translation>
    </message>
    <message>
        <source>500</source>
        <translation>500</translation>
    </message>
    <message>
        <source>水位计滤波次数：</source>
        <translation>Level filter count:</translation>
    </message>
    <message>
        <source>5</source>
        <translation>5</translation>
    </message>
    <message>
        <source>[1-30]</source>
        <translation>[1-30]</translation>
    </message>
    <message>
        <source>雨天模式设置：</source>
        <translation>Rain mode:</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>On</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>有效流量最小水深：</source>
        <translation>Min. flow depth:</translation>
    </message>
    <message>
        <source>最大测量流速：</source>
        <translation>Maximum velocity:</translation>
    </message>
    <message>
        <source>高级设置</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>低流速拾取灵敏度：</source>
        <translation>Low-speed pickup:</translation>
    </message>
    <message>
        <source>数字越大灵敏度越高</source>
        <translation>A higher number means a higher sensitivity.</translation>
    </message>
    <message>
        <source>1档</source>
        <translation>Level 1</translation>
    </message>
    <message>
        <source>2档</source>
        <translation>Level 2</translation>
    </message>
    <message>
        <source>3档</source>
        <translation>Level 3</translation>
    </message>
    <message>
        <source>4档</source>
        <translation>Level 4</translation>
    </message>
    <message>
        <source>5档</source>
        <translation>Level 5</translation>
    </message>
    <message>
        <source>系统抗扰度系数：</source>
        <translation>Immunity factor:</translation>
    </message>
    <message>
        <source>[1-100]</source>
        <translation>[1-100]</translation>
    </message>
    <message>
        <source>迭复门限上限：</source>
        <translation>Upper threshold:</translation>
    </message>
    <message>
        <source>0.3</source>
        <translation>0.3</translation>
    </message>
    <message>
        <source>迭复门限下限：</source>
        <translation>Lower threshold:</translation>
    </message>
    <message>
        <source>阻尼器：</source>
        <translation>Damping:</translation>
    </message>
    <message>
        <source>开启</source>
        <translation>On</translation>
    </message>
    <message>
        <source>有效性：</source>
        <translation>Validity check:</translation>
    </message>
    <message>
        <source>相关性：</source>
        <translation>Correlation check:</translation>
    </message>
    <message>
        <source>系统扫描容积设定：</source>
        <translation>Scan volume:</translation>
    </message>
    <message>
        <source>405</source>
        <translation>405</translation>
    </message>
    <message>
        <source>系统容差系数：</source>
        <translation>Tolerance factor:</translation>
    </message>
    <message>
        <source>[0.01-1]</source>
        <translation>[0.01-1]</translation>
    </message>
    <message>
        <source>滤波器类型:</source>
        <translation>Filter type:</translation>
    </message>
    <message>
        <source>标准</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>M1</source>
        <translation>M1</translation>
    </message>
    <message>
        <source>M2</source>
        <translation>M2</translation>
    </message>
    <message>
        <source>M3</source>
        <translation>M3</translation>
    </message>
    <message>
        <source>M4</source>
        <translation>M4</translation>
    </message>
    <message>
        <source>系统滤波量化容差:</source>
        <translation>Filter tolerance:</translation>
    </message>
    <message>
        <source> 供电模式:</source>
        <translation> Power mode:</translation>
    </message>
    <message>
        <source>长上电</source>
        <translation>Always on</translation>
    </message>
    <message>
        <source>短上电</source>
        <translation>Intermittent</translation>
    </message>
    <message>
        <source>有效性阈值:</source>
        <translation>Validity threshold:</translation>
    </message>
    <message>
        <source>归零次数:</source>
        <translation>Zeroing count:</translation>
    </message>
    <message>
        <source>读出所有参数</source>
        <translation>Read All Parameters</translation>
    </message>
    <message>
        <source>流速回波曲线</source>
        <translation>Velocity Echo</translation>
    </message>
    <message>
        <source>获取频谱</source>
        <translation>Get Spectrum</translation>
    </message>
    <message>
        <source>水位回波曲线</source>
        <translation>Level Echo</translation>
    </message>
    <message>
        <source>历史记录</source>
        <translation>History</translation>
    </message>
    <message>
        <source>查询最近7天数据</source>
        <translation>Last 7 days</translation>
    </message>
    <message>
        <source>查询最近30天数据</source>
        <translation>Last 30 days</translation>
    </message>
    <message>
        <source>查询最近半年数据</source>
        <translation>Last 6 months</translation>
    </message>
    <message>
        <source>查询所有数据</source>
        <translation>All records</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>KX70</source>
        <translation>KX70</translation>
    </message>
    <message>
        <source>KX90</source>
        <translation>KX90</translation>
    </message>
    <message>
        <source>通讯设置</source>
        <translation>Communication Settings</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>圆形水渠半径R(m)</source>
        <translation>Radius R(m)</translation>
    </message>
    <message>
        <source>梯形水渠底边长A(m)</source>
        <translation>Bottom width A(m)</translation>
    </message>
    <message>
        <source>梯形水渠顶边长B(m)</source>
        <translation>Top width B(m)</translation>
    </message>
    <message>
        <source>梯形水渠高度C(m)</source>
        <translation>Height C(m)</translation>
    </message>
    <message>
        <source>扇形高度E(m)</source>
        <translation>Arc height E(m)</translation>
    </message>
    <message>
        <source>梯形部分底边长A(m)</source>
        <translation>Trapezoid bottom width A(m)</translation>
    </message>
    <message>
        <source>梯形部分顶边长B(m)</source>
        <translation>Trapezoid top width B(m)</translation>
    </message>
    <message>
        <source>水渠高度C(m)</source>
        <translation>Channel height C(m)</translation>
    </message>
    <message>
        <source>输入参数有误，请输入正确参数！</source>
        <translation>Invalid input. Please enter a valid value.</translation>
    </message>
    <message>
        <source>参数输入有误，顶边长不能小于底边长</source>
        <translation>Invalid input: the top width must not be less than the bottom width.</translation>
    </message>
    <message>
        <source>X: %1 
Y: %2</source>
        <translation>X: %1 
Y: %2</translation>
    </message>
    <message>
        <source>流速(m/s)</source>
        <translation>Vel. (m/s)</translation>
    </message>
    <message>
        <source>水位(m)</source>
        <translation>Level (m)</translation>
    </message>
    <message>
        <source>流量(m³/s)</source>
        <translation>Flow (m³/s)</translation>
    </message>
    <message>
        <source>时间: %1 
流速: %2 m/s</source>
        <translation>Time: %1 
Velocity: %2 m/s</translation>
    </message>
    <message>
        <source>时间: %1 
水位: %2 m</source>
        <translation>Time: %1 
Water level: %2 m</translation>
    </message>
    <message>
        <source>时间: %1 
流量: %2 m³/s</source>
        <translation>Time: %1 
Flow: %2 m³/s</translation>
    </message>
    <message>
        <source>[1-30)</source>
        <translation>[1-30)</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>系统正在测量，是否退出测量并保存数据？</source>
        <translation>A measurement is running. Stop it and save the data?</translation>
    </message>
    <message>
        <source>结束测量</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&apos; color:#55aaff;&apos;&gt;设备软件版本：V%1.%2&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&apos; color:#55aaff;&apos;&gt;Device firmware: V%1.%2&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>请输入要修正的水平角度！</source>
        <translation>Please enter the horizontal angle correction.</translation>
    </message>
    <message>
        <source>请输入休眠时间！</source>
        <translation>Please enter the sleep time.</translation>
    </message>
    <message>
        <source>水平角度修正无效，修正范围0-60！</source>
        <translation>Invalid horizontal angle correction. The range is 0-60.</translation>
    </message>
    <message>
        <source>读出设置成功</source>
        <translation>Settings read</translation>
    </message>
    <message>
        <source>恢复出厂设置后仪器会自动重启，请先结束测量！</source>
        <translation>The instrument restarts after a factory reset. Please stop the measurement first.</translation>
    </message>
    <message>
        <source>确定要恢复出厂设置吗？</source>
        <translation>Restore the factory settings?</translation>
    </message>
    <message>
        <source>清空累计流量</source>
        <translation>Clear Total Discharge</translation>
    </message>
    <message>
        <source>确定要清空累计流量吗？</source>
        <translation>Clear the total discharge?</translation>
    </message>
    <message>
        <source>请输入要设置的设备地址，以十进制表示！</source>
        <translation>Please enter the new device address in decimal.</translation>
    </message>
    <message>
        <source>设备地址无效，必须在0x01-0xC8之间！</source>
        <translation>Invalid device address. It must be between 0x01 and 0xC8.</translation>
    </message>
    <message>
        <source>设置写入失败</source>
        <translation>Setting not written</translation>
    </message>
    <message>
        <source>恢复出厂，系统正在重启。。。</source>
        <translation>Factory settings restored. The instrument is restarting...</translation>
    </message>
    <message>
        <source>设置写入成功</source>
        <translation>Setting written</translation>
    </message>
    <message>
        <source>参数设置成功</source>
        <translation>Parameter set</translation>
    </message>
    <message>
        <source>参数设置失败</source>
        <translation>Parameter not set</translation>
    </message>
    <message>
        <source>测量文件无法创建，本次测量不记录：%1</source>
        <translation>Cannot create the measurement file; this run is not recorded: %1</translation>
    </message>
    <message>
        <source>串口无连接，请先打开串口！</source>
        <translation>The serial port is not connected. Please open the port first.</translation>
    </message>
    <message>
        <source>串口 %1 打开失败：%2</source>
        <translation>Cannot open serial port %1: %2</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close Port</translation>
    </message>
    <message>
        <source>回波谱不是 Modbus 帧，Modbus TCP 网关不会转发：读取回波谱需要串口或透明传输的串口服务器（tcp://）</source>
        <translation>The echo spectrum is not a Modbus frame and a Modbus TCP gateway does not pass it on: the spectra need a serial line or a transparent serial server (tcp://)</translation>
    </message>
    <message>
        <source>串口 %1 连接中断：%2</source>
        <translation>Connection on serial port %1 lost: %2</translation>
    </message>
    <message>
        <source>消息接收超时，请检查设备连接是否正常</source>
        <translation>No response from the instrument. Please check the connection.</translation>
    </message>
    <message>
        <source>断线后每 5 秒重新打开串口，测量中断的会自动重新开始；警告只显示在状态栏</source>
        <translation>When the link is lost, reopen the port every 5 seconds and restart an interrupted measurement; warnings go to the status bar only</translation>
    </message>
    <message>
        <source>断线自动重连</source>
        <translation>Reconnect automatically</translation>
    </message>
    <message>
        <source>测量结束：开始于 %1，持续 %2，%3 个数据</source>
        <translation>Measurement finished: started %1, lasted %2, %3 samples</translation>
    </message>
    <message>
        <source>没有可用的串口：没有打开 %1 的权限。请把用户加入 %2 组（sudo usermod -aG %2 $USER），重新登录后再试</source>
        <translation>No usable serial port: no permission to open %1. Add the user to the %2 group (sudo usermod -aG %2 $USER), log in again and retry</translation>
    </message>
    <message>
        <source>没有可用的串口：%1 无法打开（被其他程序占用或不是真实的串口）</source>
        <translation>No usable serial port: %1 cannot be opened (in use by another program, or not a real port)</translation>
    </message>
    <message>
        <source>没有找到串口：请接好 USB-RS485 转换器，然后点击“刷新串口”</source>
        <translation>No serial port found: plug in the USB-RS485 adapter, then click &quot;Refresh&quot;</translation>
    </message>
    <message>
        <source>没有打开串口 %1 的权限。请把用户加入 %2 组（sudo usermod -aG %2 $USER），重新登录后再试</source>
        <translation>No permission to open the serial port %1. Add the user to the %2 group (sudo usermod -aG %2 $USER), log in again and retry</translation>
    </message>
    <message>
        <source>消息接收超时</source>
        <translation>No response from the instrument</translation>
    </message>
    <message>
        <source>串口 %1 连接中断：%2，每 5 秒重新连接</source>
        <translation>Serial port %1 lost: %2; reconnecting every 5 seconds</translation>
    </message>
    <message>
        <source>串口 %1 已重新连接</source>
        <translation>Serial port %1 reconnected</translation>
    </message>
    <message>
        <source>串口 %1 已连接</source>
        <translation>Serial port %1 connected</translation>
    </message>
    <message>
        <source>，请在地址框中选择新地址 0x%1 并重新打开串口</source>
        <translation>; choose the new address 0x%1 in the address box and reopen the port</translation>
    </message>
    <message>
        <source>设备返回异常码 %1</source>
        <translation>The instrument answered with exception code %1</translation>
    </message>
    <message>
        <source>测量数据无法写入文件 %1：%2。本次测量的记录已停止，实时显示继续；可以写入时将自动开始新的记录。</source>
        <translation>Measurements cannot be written to %1: %2. Recording of this run has stopped; the live display goes on, and a new recording starts by itself once writing works again.</translation>
    </message>
    <message>
        <source>测量文件 %1 未能完成：%2。它保留已写入的 %3 个数据，下次启动时将自动完成。</source>
        <translation>The measurement file %1 could not be finished: %2. It keeps the %3 samples written and will be finished at the next start.</translation>
    </message>
    <message>
        <source>本次测量无法记入历史记录（%1）：%2</source>
        <translation>This run could not be entered in the history (%1): %2</translation>
    </message>
    <message>
        <source>文件夹 %1 无法写入（%2），测量数据不会被记录。</source>
        <translation>The folder %1 cannot be written (%2); measurements will not be recorded.</translation>
    </message>
    <message>
        <source>已恢复 %1 次未完成的测量</source>
        <translation>Recovered %1 interrupted runs</translation>
    </message>
    <message>
        <source>设备拒绝读出寄存器 %1（异常码 %2），这些设置未读出。</source>
        <translation>The instrument refused to read registers %1 (exception code %2); those settings were not read.</translation>
    </message>
    <message>
        <source>串口 %1 无应答：%2，每 5 秒重新连接</source>
        <translation>No answer on serial port %1: %2; reconnecting every 5 seconds</translation>
    </message>
    <message>
        <source>串口 %1 的仪器已应答</source>
        <translation>The instrument on serial port %1 answers</translation>
    </message>
    <message>
        <source>数据文件夹 %1 正由另一个 radarflow（进程 %2）使用，本程序不能同时在其中运行。</source>
        <translation>The data folder %1 is in use by another radarflow (process %2); this program cannot run in it at the same time.</translation>
    </message>
    <message>
        <source>存储空间已恢复，测量重新记录到 %1</source>
        <translation>Storage is writable again; the run is recorded to %1</translation>
    </message>
    <message>
        <source>%1：开头已损坏，无法读取</source>
        <translation>%1: damaged at its beginning, unreadable</translation>
    </message>
    <message>
        <source>%1：开头已损坏，已移至 %2</source>
        <translation>%1: damaged at its beginning, moved to %2</translation>
    </message>
    <message>
        <source>%1：已被截断，只剩 %2 个数据（历史记录为 %3 个），文件保持原样</source>
        <translation>%1: cut short, %2 samples left (the history says %3); the file is left as it is</translation>
    </message>
    <message>
        <source>以下测量文件已损坏：
%1</source>
        <translation>These measurement files are damaged:
%1</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
</context>
<context>
    <name>TableViewDelegate</name>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
</context>
</TS>
