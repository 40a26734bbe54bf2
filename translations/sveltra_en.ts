<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Sveltra::AddRefusal</name>
    <message>
        <source>找不到</source>
        <translation>not found</translation>
    </message>
    <message>
        <source>的文件名无法读取</source>
        <translation>names cannot be read</translation>
    </message>
    <message>
        <source>无法作为音频读取</source>
        <translation>cannot be read as audio</translation>
    </message>
    <message>
        <source>已在压缩列表中（重复的文件名）</source>
        <translation>already in the job list (duplicate name)</translation>
    </message>
    <message>
        <source>找不到文件</source>
        <translation>File not found</translation>
    </message>
    <message>
        <source>文件名无法读取</source>
        <translation>File name cannot be read</translation>
    </message>
    <message>
        <source>重复的文件名</source>
        <translation>Duplicate file name</translation>
    </message>
    <message>
        <source>%1，未添加：%2</source>
        <translation>%1, not added: %2</translation>
    </message>
    <message numerus="yes">
        <source>%n 个文件未添加：%2 等</source>
        <translation>
            <numerusform>%n file not added: %2</numerusform>
            <numerusform>%n files not added: %2 and others</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>以下 %n 个文件%2，未添加：</source>
        <translation>
            <numerusform>This file was not added (%2):</numerusform>
            <numerusform>These %n files were not added (%2):</numerusform>
        </translation>
    </message>
    <message>
        <source>：</source>
        <extracomment>After the reason, before the list of files it refused.</extracomment>
        <translation>:</translation>
    </message>
    <message>
        <source>所在的 CD 映像或光盘无法读取</source>
        <translation>cannot be read: its CD image or disc cannot be opened</translation>
    </message>
    <message>
        <source>在输出文件夹中或是 Sveltra 压缩出来的文件</source>
        <translation>in the output folder or made by Sveltra</translation>
    </message>
    <message>
        <source>CD 映像或光盘无法读取</source>
        <translation>CD image or disc cannot be read</translation>
    </message>
    <message>
        <source>Sveltra 的输出文件</source>
        <translation>Made by Sveltra</translation>
    </message>
    <message numerus="yes">
        <source>%n 个文件%2，未作为原文件添加。</source>
        <translation>
            <numerusform>%n file %2 was not added as a source.</numerusform>
            <numerusform>%n files %2 were not added as sources.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Sveltra::CdTrackListing</name>
    <message>
        <source>曲名来自 %1</source>
        <translation>Names from %1</translation>
    </message>
    <message>
        <source>正在刷新 CD 信息 ...</source>
        <translation>Refreshing the CD information ...</translation>
    </message>
    <message>
        <source>从网络查询 CDDB 信息 ...</source>
        <translation>Looking up the CD in CDDB ...</translation>
    </message>
    <message>
        <source>CD 驱动器 (%1)</source>
        <translation>CD drive (%1)</translation>
    </message>
</context>
<context>
    <name>Sveltra::FailureReason</name>
    <message>
        <source>编码器意外终止</source>
        <translation>The encoder stopped unexpectedly</translation>
    </message>
    <message>
        <source>编码器不接受这些参数</source>
        <translation>The encoder does not accept these settings</translation>
    </message>
    <message>
        <source>源文件不存在</source>
        <translation>The source file does not exist</translation>
    </message>
    <message>
        <source>没有读取源文件的权限</source>
        <translation>No permission to read the source file</translation>
    </message>
    <message>
        <source>源文件无法作为音频读取</source>
        <translation>The source file cannot be read as audio</translation>
    </message>
    <message>
        <source>磁盘空间不足</source>
        <translation>Not enough disk space</translation>
    </message>
    <message>
        <source>文件名太长</source>
        <translation>File name too long</translation>
    </message>
    <message>
        <source>输出文件夹不存在</source>
        <translation>The output folder does not exist</translation>
    </message>
    <message>
        <source>输出文件夹不可写</source>
        <translation>The output folder is not writable</translation>
    </message>
    <message>
        <source>输出文件超出大小限制</source>
        <translation>The output file exceeds the size limit</translation>
    </message>
    <message>
        <source>无法写入输出文件</source>
        <translation>Cannot write the output file</translation>
    </message>
    <message>
        <source>编码失败</source>
        <translation>Encoding failed</translation>
    </message>
    <message>
        <source>无法启动编码器</source>
        <translation>Cannot start the encoder</translation>
    </message>
    <message>
        <source>找不到 CD 驱动器或音轨</source>
        <translation>CD drive or track not found</translation>
    </message>
    <message>
        <source>无法读取 CD 音轨</source>
        <translation>Cannot read the CD track</translation>
    </message>
    <message>
        <source>输出文件会覆盖列表中的源文件</source>
        <translation>The output file would overwrite a source file in the list</translation>
    </message>
    <message>
        <source>没有生成输出文件</source>
        <translation>No output file was made</translation>
    </message>
    <message>
        <source>源文件的比特率不高于所选音质，音频已原样保留，未重新编码</source>
        <translation>The source&apos;s bit rate is not above the chosen quality: the audio was kept as it was, not encoded again</translation>
    </message>
    <message>
        <source>已是最新，未重新压缩</source>
        <translation>Up to date, not converted again</translation>
    </message>
    <message>
        <source>无法写入输出文件的标签</source>
        <translation>Cannot write the output file&apos;s tag</translation>
    </message>
    <message>
        <source>输出文件不完整</source>
        <translation>The output file is incomplete</translation>
    </message>
    <message>
        <source>无法写入专辑的音量标签</source>
        <translation>Cannot write the album&apos;s loudness tags</translation>
    </message>
    <message>
        <source>源文件已损坏：只转换了 %1（应为 %2）</source>
        <translation>Damaged source: only %1 converted (of %2)</translation>
    </message>
</context>
<context>
    <name>Sveltra::FileListView</name>
    <message>
        <source>CD 映像</source>
        <translation>CD image</translation>
    </message>
    <message>
        <source>CD 驱动器</source>
        <translation>CD drive</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>CD 音轨</source>
        <translation>CD track</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>%1 文件</source>
        <translation>%1 file</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>修改日期</source>
        <translation>Modified</translation>
    </message>
    <message>
        <source>播放时间</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>文件列表</source>
        <translation>File list</translation>
    </message>
</context>
<context>
    <name>Sveltra::FolderTreeModel</name>
    <message>
        <source>驱动器</source>
        <translation>Drive</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>Folder</translation>
    </message>
</context>
<context>
    <name>Sveltra::FolderTreeView</name>
    <message>
        <source>文件夹</source>
        <translation>Folders</translation>
    </message>
</context>
<context>
    <name>Sveltra::Form1</name>
    <message>
        <source>状态栏</source>
        <translation>Status bar</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>添加项目</source>
        <translation>&amp;Add items</translation>
    </message>
    <message>
        <source>移除项目</source>
        <translation>&amp;Remove items</translation>
    </message>
    <message>
        <source>清除所有项目</source>
        <translation>&amp;Clear all items</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>操作(&amp;A)</source>
        <translation>&amp;Action</translation>
    </message>
    <message>
        <source>开始压缩</source>
        <translation>&amp;Start converting</translation>
    </message>
    <message>
        <source>打开输出文件夹</source>
        <translation>&amp;Open output folder</translation>
    </message>
    <message>
        <source>音量均衡</source>
        <translation>&amp;Level the volume</translation>
    </message>
    <message>
        <source>检查新版本</source>
        <translation>&amp;Check for a new version</translation>
    </message>
    <message>
        <source>选项(&amp;O)</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>程序设置</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>界面转换</source>
        <translation>Switch &amp;layout</translation>
    </message>
    <message>
        <source>输出路径</source>
        <translation>&amp;Output folder</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>技术支持</source>
        <translation>&amp;Support</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>请选择一个文件夹。</source>
        <translation>Please choose a folder.</translation>
    </message>
    <message>
        <source>压缩结束</source>
        <translation>Converting ended</translation>
    </message>
    <message>
        <source>压缩完成</source>
        <translation>Converting finished</translation>
    </message>
    <message>
        <source>无法打开输出文件夹</source>
        <translation>Cannot open the output folder</translation>
    </message>
    <message>
        <source>输出文件夹不存在</source>
        <translation>The output folder does not exist</translation>
    </message>
    <message>
        <source>同步到播放器…</source>
        <translation>S&amp;ync to player…</translation>
    </message>
    <message>
        <source>同步结束</source>
        <translation>Sync ended</translation>
    </message>
    <message>
        <source>同步完成</source>
        <translation>Sync finished</translation>
    </message>
</context>
<context>
    <name>Sveltra::FormatBar</name>
    <message>
        <source>MP3 文件</source>
        <translation>MP3 files</translation>
    </message>
    <message>
        <source>WAVE 文件</source>
        <translation>WAVE files</translation>
    </message>
    <message>
        <source>CD 音轨</source>
        <translation>CD tracks</translation>
    </message>
    <message>
        <source>所有文件</source>
        <translation>All files</translation>
    </message>
    <message>
        <source>文件格式工具栏</source>
        <translation>File format toolbar</translation>
    </message>
    <message>
        <source>文件类型</source>
        <translation>File types</translation>
    </message>
</context>
<context>
    <name>Sveltra::HelpWindow</name>
    <message>
        <source>目录</source>
        <translation>Contents</translation>
    </message>
    <message>
        <source>关于 Sveltra</source>
        <translation>About Sveltra</translation>
    </message>
    <message>
        <source>添加文件和 CD 音轨</source>
        <translation>Adding files and CD tracks</translation>
    </message>
    <message>
        <source>压缩参数</source>
        <translation>Profiles</translation>
    </message>
    <message>
        <source>输出文件的命名</source>
        <translation>Names of the output files</translation>
    </message>
    <message>
        <source>压缩进度和取消</source>
        <translation>Progress and stopping</translation>
    </message>
    <message>
        <source>主窗口和命令</source>
        <translation>The main window and its commands</translation>
    </message>
    <message>
        <source>设置文件</source>
        <translation>The settings file</translation>
    </message>
    <message>
        <source>故障排除</source>
        <translation>Troubleshooting</translation>
    </message>
    <message>
        <source>Sveltra 帮助</source>
        <translation>Sveltra Help</translation>
    </message>
    <message>
        <source>帮助内容</source>
        <translation>Help content</translation>
    </message>
    <message>
        <source>帮助目录</source>
        <translation>Help contents</translation>
    </message>
    <message>
        <source>帮助工具栏</source>
        <translation>Help toolbar</translation>
    </message>
    <message>
        <source>后退</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>前进</source>
        <translation>Forward</translation>
    </message>
</context>
<context>
    <name>Sveltra::JobList</name>
    <message>
        <source>S</source>
        <translation>S</translation>
    </message>
    <message>
        <source>标题</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>来源路径</source>
        <translation>Source folder</translation>
    </message>
    <message>
        <source>媒体文件</source>
        <translation>Media file</translation>
    </message>
    <message>
        <source>播放时间</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>目标媒体文件</source>
        <translation>Output file</translation>
    </message>
    <message>
        <source>压缩大小</source>
        <translation>New size</translation>
    </message>
    <message>
        <source>压缩率</source>
        <translation>Ratio</translation>
    </message>
    <message>
        <source>专辑</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>艺术家</source>
        <translation>Artist</translation>
    </message>
    <message>
        <source>年份</source>
        <translation>Year</translation>
    </message>
    <message>
        <source>注释</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>流派</source>
        <translation>Genre</translation>
    </message>
    <message>
        <source>压缩列表</source>
        <translation>Job list</translation>
    </message>
    <message>
        <source>获取媒体文件信息</source>
        <translation>Reading the media files</translation>
    </message>
    <message>
        <source>重复的文件名</source>
        <translation>Duplicate file name</translation>
    </message>
    <message>
        <source>重复的文件名: %1</source>
        <translation>Duplicate file name: %1</translation>
    </message>
    <message>
        <source>未添加的文件</source>
        <translation>Files not added</translation>
    </message>
    <message>
        <source>确认全部删除</source>
        <translation>Remove all</translation>
    </message>
    <message>
        <source>您真的想要删除所有项目吗？</source>
        <translation>Do you really want to remove all items?</translation>
    </message>
    <message>
        <source>信息</source>
        <translation>Information</translation>
    </message>
</context>
<context>
    <name>Sveltra::JobListMenu</name>
    <message>
        <source>压缩列表菜单</source>
        <translation>Job list menu</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>&amp;Remove</translation>
    </message>
    <message>
        <source>重新压缩</source>
        <translation>Convert &amp;again</translation>
    </message>
    <message>
        <source>打开所在文件夹</source>
        <translation>Open the &amp;folder</translation>
    </message>
    <message>
        <source>打开输出文件</source>
        <translation>Open the &amp;output file</translation>
    </message>
    <message>
        <source>无法打开：%1</source>
        <translation>Cannot open: %1</translation>
    </message>
</context>
<context>
    <name>Sveltra::JobRules</name>
    <message>
        <source>无法作为音频读取，未添加：%1</source>
        <translation>Cannot be read as audio, not added: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n 个文件无法作为音频读取，未添加：%2 等</source>
        <translation>
            <numerusform>%n file cannot be read as audio, not added: %2</numerusform>
            <numerusform>%n files cannot be read as audio, not added: %2 and others</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Sveltra::Loudness</name>
    <message>
        <source>音量均衡 </source>
        <translation>Volume levelled </translation>
    </message>
</context>
<context>
    <name>Sveltra::MainToolbar</name>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>添加选定的媒体文件到压缩列表</source>
        <translation>Add the selected media files to the job list</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>从压缩列表移除选定项目</source>
        <translation>Remove the selected items from the job list</translation>
    </message>
    <message>
        <source>全部清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>从压缩列表清除所有项目</source>
        <translation>Clear all items from the job list</translation>
    </message>
    <message>
        <source>输出</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>选择输出路径</source>
        <translation>Choose the output folder</translation>
    </message>
    <message>
        <source>界面</source>
        <translation>Layout</translation>
    </message>
    <message>
        <source>切换界面 </source>
        <translation>Switch the layout</translation>
    </message>
    <message>
        <source>选项</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>设置压缩参数</source>
        <translation>Set the profile</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Refresh CD to show correct results</source>
        <translation>Refresh CD to show correct results</translation>
    </message>
    <message>
        <source>开始压缩</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>开始压缩列表中的媒体文件</source>
        <translation>Convert the media files in the job list</translation>
    </message>
    <message>
        <source>工具栏</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>刷新 CD</source>
        <translation>Refresh CD</translation>
    </message>
</context>
<context>
    <name>Sveltra::OutputBar</name>
    <message>
        <source>输出路径栏</source>
        <translation>Output folder bar</translation>
    </message>
    <message>
        <source>单击这个按钮选择输出路径</source>
        <translation>Click this button to choose the output folder</translation>
    </message>
    <message>
        <source>输出路径</source>
        <translation>Output folder</translation>
    </message>
</context>
<context>
    <name>Sveltra::Profile</name>
    <message>
        <source>1- MP3 播放器</source>
        <translation>1- MP3 player</translation>
    </message>
    <message>
        <source>2- Palm PDA</source>
        <translation>2- Palm PDA</translation>
    </message>
    <message>
        <source>3- Pocket PC</source>
        <translation>3- Pocket PC</translation>
    </message>
    <message>
        <source>4- 移动电话</source>
        <translation>4- Mobile phone</translation>
    </message>
    <message>
        <source>5- 其它 MP3 设备</source>
        <translation>5- Other MP3 device</translation>
    </message>
    <message>
        <source>1- CD 音质</source>
        <translation>1- CD quality</translation>
    </message>
    <message>
        <source>2- FM 广播音质</source>
        <translation>2- FM radio quality</translation>
    </message>
    <message>
        <source>3- 磁带音质</source>
        <translation>3- Tape quality</translation>
    </message>
    <message>
        <source>4- 电话音质</source>
        <translation>4- Telephone quality</translation>
    </message>
    <message>
        <source>1- 立体声</source>
        <translation>1- Stereo</translation>
    </message>
    <message>
        <source>2- 单声道</source>
        <translation>2- Mono</translation>
    </message>
    <message>
        <source>1- MP3</source>
        <translation>1- MP3</translation>
    </message>
    <message>
        <source>2- WMA</source>
        <translation>2- WMA</translation>
    </message>
    <message>
        <source>3- 音乐 CD</source>
        <translation>3- Music CD</translation>
    </message>
    <message>
        <source>您的音乐设备: </source>
        <translation>Your music device: </translation>
    </message>
    <message>
        <source>您需要的音质: </source>
        <translation>The sound quality you need: </translation>
    </message>
    <message>
        <source>您想要的声音效果: </source>
        <translation>The sound you want: </translation>
    </message>
    <message>
        <source>您想要的数码音乐格式是 </source>
        <translation>The digital music format you want: </translation>
    </message>
    <message>
        <source>您的播放器是 -%1.  您想要的音质是 -%2.  您需要的格式是 -%3.  您喜欢 -%4效果.</source>
        <extracomment>The options dialog&apos;s summary. Each %n is a choice without its number: &quot; MP3 播放器&quot; (with the blank in front), &quot; CD 音质&quot;, &quot; MP3&quot;, &quot; 立体声&quot;.</extracomment>
        <translation>Your player:%1.  Quality:%2.  Format:%3.  Sound:%4.</translation>
    </message>
    <message>
        <source>Sveltra 系统信息</source>
        <translation>Sveltra system information</translation>
    </message>
</context>
<context>
    <name>Sveltra::RunLists</name>
    <message>
        <source>没有改动不是本程序写的播放列表：%1</source>
        <translation>Left alone a playlist that this program did not write: %1</translation>
    </message>
    <message>
        <source>无法写入播放列表：%1</source>
        <translation>Cannot write the playlist: %1</translation>
    </message>
</context>
<context>
    <name>Sveltra::RunPreflight</name>
    <message>
        <source>没有等待压缩的文件</source>
        <translation>No files are waiting to be converted</translation>
    </message>
    <message>
        <source>无法创建输出文件夹：</source>
        <translation>Cannot create the output folder: </translation>
    </message>
    <message>
        <source>无法写入输出文件夹：</source>
        <translation>Cannot write to the output folder: </translation>
    </message>
</context>
<context>
    <name>Sveltra::RunProgress</name>
    <message>
        <source> · 剩余 </source>
        <translation> · left </translation>
    </message>
</context>
<context>
    <name>Sveltra::RunSummary</name>
    <message numerus="yes">
        <source>完成 %n 个，</source>
        <translation>
            <numerusform>%n done, </numerusform>
            <numerusform>%n done, </numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>跳过 %n 个，</source>
        <translation>
            <numerusform>%n skipped, </numerusform>
            <numerusform>%n skipped, </numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>失败 %n 个</source>
        <translation>
            <numerusform>%n failed</numerusform>
            <numerusform>%n failed</numerusform>
        </translation>
    </message>
    <message>
        <source>：</source>
        <extracomment>Between the count of failed files and the reason they share.</extracomment>
        <translation>: </translation>
    </message>
    <message>
        <source>，</source>
        <extracomment>Between the parts of the summary.</extracomment>
        <translation>, </translation>
    </message>
    <message numerus="yes">
        <source>等待 %n 个，</source>
        <translation>
            <numerusform>%n waiting, </numerusform>
            <numerusform>%n waiting, </numerusform>
        </translation>
    </message>
    <message>
        <source>节省 </source>
        <translation>saved </translation>
    </message>
    <message>
        <source>多占 </source>
        <translation>grew by </translation>
    </message>
    <message>
        <source>等待</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>已完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>已完成：</source>
        <translation>Done: </translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>失败：</source>
        <translation>Failed: </translation>
    </message>
    <message numerus="yes">
        <source>有问题 %n 个，</source>
        <extracomment>Files converted from damaged sources: only what could be decoded.</extracomment>
        <translation>
            <numerusform>%n damaged, </numerusform>
            <numerusform>%n damaged, </numerusform>
        </translation>
    </message>
    <message>
        <source>有问题：</source>
        <translation>Damaged: </translation>
    </message>
    <message numerus="yes">
        <source>，写入播放列表 %n 个</source>
        <translation>
            <numerusform>, %n playlist written</numerusform>
            <numerusform>, %n playlists written</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>，播放列表未写入 %n 个</source>
        <translation>
            <numerusform>, %n playlist not written</numerusform>
            <numerusform>, %n playlists not written</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Sveltra::Sync</name>
    <message>
        <source>没有改动播放器上不是本程序写的播放列表：%1</source>
        <translation>Left alone a playlist on the player that this program did not write: %1</translation>
    </message>
    <message>
        <source>无法写入播放列表：%1</source>
        <translation>Cannot write the playlist: %1</translation>
    </message>
    <message>
        <source>播放器的空间不够，同步没有开始。</source>
        <translation>There is not enough room on the player; the sync did not start.</translation>
    </message>
    <message>
        <source>这次同步会删除播放器上一半以上的文件；确认无误请加 --yes 再运行。什么都没有改动。</source>
        <translation>This sync would remove more than half of the files on the player; if that is right, run it again with --yes. Nothing was changed.</translation>
    </message>
    <message>
        <source>（试运行：什么都没有改动）</source>
        <translation>(Dry run: nothing was changed)</translation>
    </message>
    <message>
        <source>[%1/%2] 完成 %3</source>
        <extracomment>One encode of a sync ended: its number, how many there are, the source.</extracomment>
        <translation>[%1/%2] done %3</translation>
    </message>
    <message>
        <source>[%1/%2] 失败 %3：%4</source>
        <translation>[%1/%2] failed %3: %4</translation>
    </message>
    <message>
        <source>无法删除：%1</source>
        <translation>Cannot remove: %1</translation>
    </message>
    <message>
        <source>无法移动：%1</source>
        <translation>Cannot move: %1</translation>
    </message>
    <message>
        <source>无法改标签：%1</source>
        <translation>Cannot rewrite the tag: %1</translation>
    </message>
    <message>
        <source>没有压缩：%1</source>
        <translation>Not converted: %1</translation>
    </message>
    <message>
        <source>没有压缩：%1（%2）</source>
        <translation>Not converted: %1 (%2)</translation>
    </message>
    <message>
        <source>无法写入同步标记：%1</source>
        <translation>Cannot write the sync mark: %1</translation>
    </message>
    <message>
        <source>同步结束：压缩 %1，移动 %2，改标签 %3，删除 %4，失败 %5</source>
        <translation>Sync ended: %1 converted, %2 moved, %3 retagged, %4 removed, %5 failed</translation>
    </message>
    <message>
        <source>同步完成：压缩 %1，移动 %2，改标签 %3，删除 %4，失败 %5</source>
        <translation>Sync finished: %1 converted, %2 moved, %3 retagged, %4 removed, %5 failed</translation>
    </message>
    <message>
        <source>音乐库文件夹不存在：%1。什么都没有改动。</source>
        <translation>The library folder does not exist: %1. Nothing was changed.</translation>
    </message>
    <message>
        <source>无法读取音乐库文件夹：%1。什么都没有改动。</source>
        <translation>Cannot read the library folder: %1. Nothing was changed.</translation>
    </message>
    <message>
        <source>播放器文件夹不存在：%1。请先插好播放器或存储卡。</source>
        <translation>The player folder does not exist: %1. Please connect the player or memory card first.</translation>
    </message>
    <message>
        <source>无法写入播放器文件夹：%1。</source>
        <translation>Cannot write to the player folder: %1.</translation>
    </message>
    <message>
        <source>音乐库不能在播放器文件夹里面。什么都没有改动。</source>
        <translation>The library cannot be inside the player folder. Nothing was changed.</translation>
    </message>
    <message>
        <source>音乐库文件夹里没有音频文件：%1。可能是硬盘没有接上或路径写错了；为了安全，播放器上的文件一个也没有删除。</source>
        <translation>There are no audio files in the library folder: %1. The drive may not be connected or the path may be mistyped; to be safe, not a single file on the player was removed.</translation>
    </message>
    <message>
        <source>新增 %1，更新 %2，移动或改名 %3，只改标签 %4，删除 %5，不变 %6</source>
        <translation>New %1, changed %2, moved or renamed %3, tags only %4, removed %5, unchanged %6</translation>
    </message>
    <message>
        <source>，放不下 %1</source>
        <translation>, too large %1</translation>
    </message>
    <message>
        <source>增加 +%1，释放 −%2，净变化 %3%4</source>
        <translation>Added +%1, freed −%2, net %3%4</translation>
    </message>
    <message>
        <source>播放器可用空间：无法得知</source>
        <translation>Free space on the player: unknown</translation>
    </message>
    <message>
        <source>播放器可用空间 %1：放得下</source>
        <translation>Free space on the player %1: it fits</translation>
    </message>
    <message>
        <source>播放器可用空间 %1：放不下，还差 %2</source>
        <translation>Free space on the player %1: it does not fit, %2 short</translation>
    </message>
    <message numerus="yes">
        <source>注意：这次同步会删除播放器上 %1 个文件中的 %n 个，超过一半。</source>
        <translation>
            <numerusform>Warning: this sync removes %n of the %1 files on the player, more than half.</numerusform>
            <numerusform>Warning: this sync removes %n of the %1 files on the player, more than half.</numerusform>
        </translation>
    </message>
    <message>
        <source>删除：%1</source>
        <translation>Remove: %1</translation>
    </message>
    <message>
        <source>移动：%1 → %2</source>
        <translation>Move: %1 → %2</translation>
    </message>
    <message>
        <source>放不下：%1（FAT32 上一个文件不能超过 4 GB）</source>
        <translation>Too large: %1 (a file on FAT32 cannot exceed 4 GB)</translation>
    </message>
    <message>
        <source>新增：%1</source>
        <translation>New: %1</translation>
    </message>
    <message>
        <source>重新压缩：%1</source>
        <translation>Convert again: %1</translation>
    </message>
    <message>
        <source>改标签：%1</source>
        <translation>Retag: %1</translation>
    </message>
</context>
<context>
    <name>Sveltra::Version</name>
    <message>
        <source>Sveltra  版本 </source>
        <translation>Sveltra  version </translation>
    </message>
    <message>
        <source>版本 </source>
        <translation>Version </translation>
    </message>
    <message>
        <source>Sveltra 正在运行，您不需要再次运行它</source>
        <translation>Sveltra is already running; there is no need to start it again</translation>
    </message>
</context>
<context>
    <name>Sveltra::WindowAreas</name>
    <message>
        <source>左右分隔条</source>
        <translation>Left-right divider</translation>
    </message>
    <message>
        <source>用左右方向键调整文件夹栏的宽度</source>
        <translation>Use the left and right arrow keys to change the width of the folder pane</translation>
    </message>
    <message>
        <source>上下分隔条</source>
        <translation>Top-bottom divider</translation>
    </message>
    <message>
        <source>用上下方向键调整上方区域的高度</source>
        <translation>Use the up and down arrow keys to change the height of the upper area</translation>
    </message>
</context>
<context>
    <name>Sveltra::frmAbout</name>
    <message>
        <source>关于 Sveltra</source>
        <translation>About Sveltra</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>显示开发组图片</source>
        <translation>Show the team picture</translation>
    </message>
    <message>
        <source>隐藏开发组图片</source>
        <translation>Hide the team picture</translation>
    </message>
    <message>
        <source>内部版本:%1</source>
        <translation>Build:%1</translation>
    </message>
    <message>
        <source>版本 %1</source>
        <translation>Version %1</translation>
    </message>
</context>
<context>
    <name>Sveltra::frmMonitor</name>
    <message>
        <source>源文件</source>
        <translation>Source file</translation>
    </message>
    <message>
        <source>输出文件</source>
        <translation>Output file</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>活动</source>
        <translation>Activity</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>总进度</source>
        <translation>Overall progress</translation>
    </message>
</context>
<context>
    <name>Sveltra::frmOption</name>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>音质</source>
        <translation>Quality</translation>
    </message>
    <message>
        <source>效果</source>
        <translation>Sound</translation>
    </message>
    <message>
        <source>格式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Sveltra 选项</source>
        <translation>Sveltra Options</translation>
    </message>
    <message>
        <source>下一个%1</source>
        <translation>Next %1</translation>
    </message>
    <message>
        <source>上一个%1</source>
        <translation>Previous %1</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>单击关闭选项对话框</source>
        <translation>Click to close the options dialog</translation>
    </message>
</context>
<context>
    <name>Sveltra::frmSync</name>
    <message>
        <source>同步到播放器</source>
        <translation>Sync to Player</translation>
    </message>
    <message>
        <source>正在比较音乐库和播放器…</source>
        <translation>Comparing the library with the player…</translation>
    </message>
    <message>
        <source>音乐库文件夹</source>
        <translation>Library folder</translation>
    </message>
    <message>
        <source>浏览(&amp;B)…</source>
        <translation>&amp;Browse…</translation>
    </message>
    <message>
        <source>选择音乐库文件夹</source>
        <translation>Choose the library folder</translation>
    </message>
    <message>
        <source>播放器文件夹</source>
        <translation>Player folder</translation>
    </message>
    <message>
        <source>浏览(&amp;R)…</source>
        <translation>B&amp;rowse…</translation>
    </message>
    <message>
        <source>选择播放器文件夹</source>
        <translation>Choose the player folder</translation>
    </message>
    <message>
        <source>音乐库(&amp;L)：</source>
        <translation>&amp;Library:</translation>
    </message>
    <message>
        <source>播放器(&amp;P)：</source>
        <translation>&amp;Player:</translation>
    </message>
    <message>
        <source>压缩设置</source>
        <translation>Conversion settings</translation>
    </message>
    <message>
        <source>按当前设置压缩：%1，%2；音量均衡：%3</source>
        <translation>Converted with the current settings: %1, %2; volume levelling: %3</translation>
    </message>
    <message>
        <source>开</source>
        <translation>on</translation>
    </message>
    <message>
        <source>关</source>
        <translation>off</translation>
    </message>
    <message>
        <source>同步计划</source>
        <translation>Sync plan</translation>
    </message>
    <message>
        <source>要改动的文件</source>
        <translation>Files to change</translation>
    </message>
    <message>
        <source>重新比较(&amp;C)</source>
        <translation>&amp;Compare again</translation>
    </message>
    <message>
        <source>重新比较</source>
        <translation>Compare again</translation>
    </message>
    <message>
        <source>开始同步(&amp;S)</source>
        <translation>&amp;Start sync</translation>
    </message>
    <message>
        <source>开始同步</source>
        <translation>Start sync</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>请选择音乐库文件夹。</source>
        <translation>Please choose the library folder.</translation>
    </message>
    <message>
        <source>请选择播放器的文件夹。</source>
        <translation>Please choose the player folder.</translation>
    </message>
    <message>
        <source>播放器上的文件已经和音乐库一致，没有要改动的。</source>
        <translation>The player already matches the library; there is nothing to change.</translation>
    </message>
    <message numerus="yes">
        <source>这次同步会删除播放器上 %1 个文件中的 %n 个，超过一半。确定要继续吗？</source>
        <translation>
            <numerusform>This sync removes %n of the %1 files on the player, more than half. Do you want to go on?</numerusform>
            <numerusform>This sync removes %n of the %1 files on the player, more than half. Do you want to go on?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Sveltra::frmUpdate</name>
    <message>
        <source>连接到互联网......</source>
        <translation>Connecting to the Internet......</translation>
    </message>
    <message>
        <source>找到新版本，您现在可以下载它</source>
        <translation>A new version was found; you can download it now</translation>
    </message>
    <message>
        <source>当前没有可用的新版本，请以后再检查</source>
        <translation>There is no new version now; please check again later</translation>
    </message>
    <message>
        <source>未能从网络获取信息，请以后再检查</source>
        <translation>Could not get the information from the network; please check again later</translation>
    </message>
    <message>
        <source>检查新版本</source>
        <translation>Check for a New Version</translation>
    </message>
    <message>
        <source>已安装版本:</source>
        <translation>Installed version:</translation>
    </message>
    <message>
        <source>最新版本:</source>
        <translation>Latest version:</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>打开下载页面</source>
        <translation>Open the download page</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>帮助 (F1)</source>
        <translation>Help (F1)</translation>
    </message>
</context>
</TS>
