-- The update to version 1.26, statement by statement, one a line, exactly as
-- the engine receives it (tabs included): every text here is part of the
-- database format the host application expects. A line "-- [heading]"
-- starts a block; update/Version126Script.cpp says what each block waits for.
-- Other "--" lines and empty lines are not statements.

-- Tables of earlier mileage versions and of a run that stopped part-way,
-- dropped when present, in this order.
-- [drop]
DROP TABLE t_adjustment_kingaku;
DROP TABLE t_asayu_return;
DROP TABLE t_read_tsuko_data;
DROP TABLE t_card_history;
DROP TABLE t_seikyu_card;
DROP TABLE t_card;
DROP TABLE t_mileage_registration_error;
DROP TABLE t_mileage_rate_type;
DROP TABLE t_mileage_kodan;
DROP TABLE t_mileage_card;
DROP TABLE t_mileage_card_status;
DROP TABLE t_mileage_expense;
DROP TABLE t_mileage;
DROP TABLE t_mileage_status;
DROP TABLE t_mlg_own_card_seikyu;
DROP TABLE t_mlg_sofu_saving;
DROP TABLE t_mlg_seikyu_card;
DROP TABLE t_mlg_sofu_seikyu;
DROP TABLE t_mlg_card_seikyu;
DROP TABLE t_mlg_card_total;
DROP TABLE t_mlg_toll;
DROP TABLE t_kumi_mlg_kangen_return;
DROP TABLE t_mlg_kangen_return;
DROP TABLE t_kumi_mlg_asayu_return;
DROP TABLE t_mlg_asayu_return;
DROP TABLE t_mlg_saving_rate;
DROP TABLE t_mlg_saving_taisyo;
DROP TABLE t_mlg_rate;
DROP TABLE t_mlg_calc_taisyo;
DROP TABLE t_mlg_card;
DROP TABLE t_mlg_kodan;
DROP TABLE t_mlg_step_rate;
DROP TABLE t_mlg_rate_type;

-- [column t_kumiai.MlgCardName]
ALTER TABLE t_kumiai ADD COLUMN MlgCardName VARCHAR(050);
UPDATE t_kumiai SET MlgCardName ='ＥＴＣ法人カード';

-- The two t_seikyu_data columns are added through the table-definition
-- facility; each block gives the column its first value.
-- [column t_seikyu_data.MlgCardSeikyuKingaku]
UPDATE t_seikyu_data SET MlgCardSeikyuKingaku = 0;
-- [column t_seikyu_data.MlgCardSavingKingaku]
UPDATE t_seikyu_data SET MlgCardSavingKingaku = 0;

-- [table t_mlg_kodan]
CREATE TABLE t_mlg_kodan (MlgKodanID			autoincrement(1, 1) PRIMARY KEY,MlgKodanCode		VARCHAR(003) NOT NULL,MlgKodanName		VARCHAR(050) NOT NULL,MlgKodanAbbrName	VARCHAR(050) NOT NULL,CreateDateTime		DATETIME NOT NULL,UpdateDateTime		DATETIME DEFAULT NULL);
INSERT INTO t_mlg_kodan (MlgKodanID,MlgKodanCode,MlgKodanName,MlgKodanAbbrName,CreateDateTime) VALUES (-1,'00','未区分','',now());
INSERT INTO t_mlg_kodan (MlgKodanID,MlgKodanCode,MlgKodanName,MlgKodanAbbrName,CreateDateTime) VALUES (1,'01','東/中/西日本高速道路株式会社','NEXCO',now());
INSERT INTO t_mlg_kodan (MlgKodanID,MlgKodanCode,MlgKodanName,MlgKodanAbbrName,CreateDateTime) VALUES (2,'04','本四高速道路株式会社','本四高速',now());
INSERT INTO t_mlg_kodan (MlgKodanID,MlgKodanCode,MlgKodanName,MlgKodanAbbrName,CreateDateTime) VALUES (3,'09','首都高速道路株式会社','首都高速',now());
INSERT INTO t_mlg_kodan (MlgKodanID,MlgKodanCode,MlgKodanName,MlgKodanAbbrName,CreateDateTime) VALUES (4,'05','阪神高速道路株式会社','阪神高速',now());
INSERT INTO t_mlg_kodan (MlgKodanID,MlgKodanCode,MlgKodanName,MlgKodanAbbrName,CreateDateTime) VALUES (5,'06','名古屋高速道路公社','名古屋高速',now());
INSERT INTO t_mlg_kodan (MlgKodanID,MlgKodanCode,MlgKodanName,MlgKodanAbbrName,CreateDateTime) VALUES (6,'07','愛知県道路公社','愛知県公社',now());
INSERT INTO t_mlg_kodan (MlgKodanID,MlgKodanCode,MlgKodanName,MlgKodanAbbrName,CreateDateTime) VALUES (7,'08','福北高速道路公社','福北高速',now());
INSERT INTO t_mlg_kodan (MlgKodanID,MlgKodanCode,MlgKodanName,MlgKodanAbbrName,CreateDateTime) VALUES (8,'10','神戸市道路公社','神戸市公社',now());
INSERT INTO t_mlg_kodan (MlgKodanID,MlgKodanCode,MlgKodanName,MlgKodanAbbrName,CreateDateTime) VALUES (9,'11','広島高速道路公社','広島高速',now());

-- [table t_mlg_card]
CREATE TABLE t_mlg_card (MlgCardID			autoincrement(1, 1) PRIMARY KEY,KumiID				INTEGER NOT NULL,SofuID				INTEGER NOT NULL,SofuMeisaiNameID	INTEGER NOT NULL,SyaryoID			INTEGER NOT NULL DEFAULT -1,MlgCardNo			VARCHAR(021) NOT NULL,UserName			VARCHAR(050) NOT NULL,UseStartMonth		VARCHAR(006) NOT NULL,MlgCardBikou		TEXT,CreateDateTime		DATETIME NOT NULL,UpdateDateTime		DATETIME DEFAULT NULL);
CREATE INDEX idx_mlgcard_001 ON t_mlg_card (KumiID);
ALTER TABLE t_mlg_card ADD CONSTRAINT fk_mlgcard_001 FOREIGN KEY (KumiID) REFERENCES t_kumi (KumiID);
CREATE INDEX idx_mlgcard_002 ON t_mlg_card (SofuID);
ALTER TABLE t_mlg_card ADD CONSTRAINT fk_mlgcard_002 FOREIGN KEY (SofuID) REFERENCES t_sofu (SofuID);
CREATE INDEX idx_mlgcard_003 ON t_mlg_card (SofuMeisaiNameID);
CREATE INDEX idx_mlgcard_004 ON t_mlg_card (SyaryoID);
CREATE UNIQUE INDEX unq_mlgcard_001 ON t_mlg_card (MlgCardNo);

-- [table t_mlg_asayu_return]
CREATE TABLE t_mlg_asayu_return (MlgAsayuReturnID		autoincrement(1, 1) PRIMARY KEY,MlgAsayuReturnCode		VARCHAR(002) NOT NULL,MlgAsayuReturnName		VARCHAR(050) NOT NULL,CreateDateTime			DATETIME NOT NULL,UpdateDateTime			DATETIME DEFAULT NULL);
INSERT INTO t_mlg_asayu_return (MlgAsayuReturnID, MlgAsayuReturnCode, MlgAsayuReturnName, CreateDateTime) VALUES (1, '01', '平日朝夕割還元額を戻す', now());
INSERT INTO t_mlg_asayu_return (MlgAsayuReturnID, MlgAsayuReturnCode, MlgAsayuReturnName, CreateDateTime) VALUES (2, '02', '平日朝夕割還元額を戻さない', now());

-- [table t_kumi_mlg_asayu_return]
CREATE TABLE t_kumi_mlg_asayu_return (KumiMlgAsayuReturnID	autoincrement(1, 1) PRIMARY KEY,MlgAsayuReturnID		INTEGER NOT NULL,KumiID					INTEGER NOT NULL,CreateDateTime			DATETIME NOT NULL,UpdateDateTime			DATETIME DEFAULT NULL);
CREATE UNIQUE INDEX idx_kumimlgasayureturn_001 ON t_kumi_mlg_asayu_return (KumiID);

-- [table t_mlg_kangen_return]
CREATE TABLE t_mlg_kangen_return (MlgKangenReturnID		autoincrement(1, 1) PRIMARY KEY,MlgKangenReturnCode	VARCHAR(002) NOT NULL,MlgKangenReturnName	VARCHAR(050) NOT NULL,CreateDateTime			DATETIME NOT NULL,UpdateDateTime			DATETIME DEFAULT NULL);
INSERT INTO t_mlg_kangen_return (MlgKangenReturnID, MlgKangenReturnCode, MlgKangenReturnName, CreateDateTime) VALUES (1, '01', 'マイレージ還元額を戻す', now());
INSERT INTO t_mlg_kangen_return (MlgKangenReturnID, MlgKangenReturnCode, MlgKangenReturnName, CreateDateTime) VALUES (2, '02', 'マイレージ還元額を戻さない', now());

-- [table t_kumi_mlg_kangen_return]
CREATE TABLE t_kumi_mlg_kangen_return (KumiMlgKangenReturnID	autoincrement(1, 1) PRIMARY KEY,MlgKangenReturnID		INTEGER NOT NULL,KumiID					INTEGER NOT NULL,CreateDateTime			DATETIME NOT NULL,UpdateDateTime			DATETIME DEFAULT NULL);
CREATE UNIQUE INDEX idx_kumimlgkangenreturn_001 ON t_kumi_mlg_kangen_return (KumiID);

-- [table t_mlg_calc_method]
CREATE TABLE t_mlg_calc_method (MlgCalcMethodID		autoincrement(1, 1) PRIMARY KEY,MlgCalcMethodCode		VARCHAR(002) NOT NULL,MlgCalcMethodName		VARCHAR(050) NOT NULL,CreateDateTime			DATETIME NOT NULL,UpdateDateTime			DATETIME DEFAULT NULL);
INSERT INTO t_mlg_calc_method (MlgCalcMethodID, MlgCalcMethodCode, MlgCalcMethodName, CreateDateTime) VALUES (1, '01', '送付先毎に計算', now());
INSERT INTO t_mlg_calc_method (MlgCalcMethodID, MlgCalcMethodCode, MlgCalcMethodName, CreateDateTime) VALUES (2, '02', 'カード毎に計算', now());

-- [table t_kumi_mlg_calc_method]
CREATE TABLE t_kumi_mlg_calc_method (KumiMlgCalcMethodID	autoincrement(1, 1) PRIMARY KEY,MlgCalcMethodID		INTEGER NOT NULL,KumiID					INTEGER NOT NULL,CreateDateTime			DATETIME NOT NULL,UpdateDateTime			DATETIME DEFAULT NULL);
CREATE UNIQUE INDEX idx_kumimlgccalcmethod_001 ON t_kumi_mlg_calc_method (KumiID);

-- [table t_mlg_rate_type]
CREATE TABLE t_mlg_rate_type (MlgRateTypeID		autoincrement(1, 1) PRIMARY KEY,MlgRateTypeCode	VARCHAR(003) NOT NULL,MlgRateTypeName	VARCHAR(050) NOT NULL,CreateDateTime		DATETIME NOT NULL,UpdateDateTime		DATETIME DEFAULT NULL );
CREATE UNIQUE INDEX idx_mlgratetype_001 ON t_mlg_rate_type ( MlgRateTypeName );
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (1,'01','割引・管理料なし',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (2,'02','1.0%割引',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (3,'03','2.0%割引',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (4,'04','3.0%割引',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (5,'05','4.0%割引',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (6,'06','5.0%割引',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (7,'07','6.0%割引',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (8,'08','7.0%割引',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (9,'09','8.0%割引',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (10,'10','1.0%管理料',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (11,'11','2.0%管理料',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (12,'12','3.0%管理料',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (13,'13','4.0%管理料',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (14,'14','5.0%管理料',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (15,'15','6.0%管理料',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (16,'16','7.0%管理料',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (17,'17','8.0%管理料',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (18,'18','コーポ割引（20%/30%/40%)',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (19,'19','コーポ割引（10%/20%/30%)',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (20,'20','コーポ割引（10%/15%/20%)',now())
INSERT INTO t_mlg_rate_type(MlgRateTypeID, MlgRateTypeCode, MlgRateTypeName, CreateDateTime) VALUES (21,'21','コーポ割引（6.9%/13.8%)',now())

-- [table t_mlg_step_rate]
CREATE TABLE t_mlg_step_rate (MlgStepRateID		autoincrement(1, 1) PRIMARY KEY,MlgRateTypeID		INTEGER NOT NULL,LowerKingaku		INTEGER NOT NULL,UpperKingaku		INTEGER NOT NULL,MlgFeeRate			DOUBLE NOT NULL DEFAULT 0.0,MlgDiscountRate	DOUBLE NOT NULL DEFAULT 0.0,CreateDateTime		DATETIME NOT NULL,UpdateDateTime		DATETIME DEFAULT NULL );
CREATE UNIQUE INDEX idx_mlgsteprate_001 ON t_mlg_step_rate ( MlgRateTypeID, LowerKingaku );
CREATE UNIQUE INDEX idx_mlgsteprate_002 ON t_mlg_step_rate ( MlgRateTypeID, UpperKingaku );
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (-1,-1,0,9999999,0,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (1,1,0,9999999,0,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (2,2,0,9999999,0,1,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (3,3,0,9999999,0,2,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (4,4,0,9999999,0,3,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (5,5,0,9999999,0,4,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (6,6,0,9999999,0,5,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (7,7,0,9999999,0,6,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (8,8,0,9999999,0,7,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (9,9,0,9999999,0,8,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (10,10,0,9999999,1,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (11,11,0,9999999,2,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (12,12,0,9999999,3,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (13,13,0,9999999,4,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (14,14,0,9999999,5,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (15,15,0,9999999,6,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (16,16,0,9999999,7,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (17,17,0,9999999,8,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (18,18,0,5000,0,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (19,18,5000,10000,0,20,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (20,18,10000,30000,0,30,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (21,18,30000,9999999,0,40,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (22,19,0,5000,0,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (23,19,5000,10000,0,10,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (24,19,10000,30000,0,20,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (25,19,30000,9999999,0,30,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (26,20,0,5000,0,0,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (27,20,5000,10000,0,10,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (28,20,10000,30000,0,15,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (29,20,30000,9999999,0,20,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (30,21,10000,50000,0,6.9,now())
INSERT INTO t_mlg_step_rate(MlgStepRateID, MlgRateTypeID, LowerKingaku, UpperKingaku, MlgFeeRate, MlgDiscountRate, CreateDateTime) VALUES (31,21,50000,9999999,0,13.8,now())

-- [table t_mlg_calc_taisyo]
CREATE TABLE t_mlg_calc_taisyo (MlgCalcTaisyoID	autoincrement(1, 1) PRIMARY KEY,MlgCalcTaisyoCode	VARCHAR(003) NOT NULL,MlgCalcTaisyoName	VARCHAR(050) NOT NULL,CreateDateTime		DATETIME NOT NULL,UpdateDateTime		DATETIME DEFAULT NULL );
CREATE UNIQUE INDEX idx_mlgcalctaisyo_001 ON t_mlg_calc_taisyo ( MlgCalcTaisyoName );
INSERT INTO t_mlg_calc_taisyo(MlgCalcTaisyoID, MlgCalcTaisyoCode, MlgCalcTaisyoName, CreateDateTime) VALUES (1,'01','利用金額',now())
INSERT INTO t_mlg_calc_taisyo(MlgCalcTaisyoID, MlgCalcTaisyoCode, MlgCalcTaisyoName, CreateDateTime) VALUES (2,'02','朝夕割引後',now())
INSERT INTO t_mlg_calc_taisyo(MlgCalcTaisyoID, MlgCalcTaisyoCode, MlgCalcTaisyoName, CreateDateTime) VALUES (3,'03','後納金額',now())

-- [table t_mlg_rate]
CREATE TABLE t_mlg_rate (MlgRateID			autoincrement(1, 1) PRIMARY KEY,KumiID				INTEGER NOT NULL,MlgKodanID			INTEGER NOT NULL,MlgRateTypeID		INTEGER NOT NULL,MlgCalcTaisyoID	INTEGER NOT NULL,CreateDateTime		DATETIME NOT NULL,UpdateDateTime		DATETIME DEFAULT NULL );
CREATE UNIQUE INDEX idx_mlgrate_001 ON t_mlg_rate ( KumiID, MlgKodanID );
ALTER TABLE t_mlg_rate ADD CONSTRAINT fk_mlgrate_001 FOREIGN KEY (KumiID) REFERENCES t_kumi (KumiID);

-- [table t_mlg_saving_rate]
CREATE TABLE t_mlg_saving_rate (MlgSavingRateID	autoincrement(1, 1) PRIMARY KEY,KumiID				INTEGER NOT NULL,StartMonth			VARCHAR(006) NOT NULL,EndMonth			VARCHAR(006) NOT NULL,MlgKodanID			INTEGER NOT NULL,MlgCalcTaisyoID	INTEGER NOT NULL,MlgSavingRate		DOUBLE NOT NULL DEFAULT 0.0,CreateDateTime		DATETIME NOT NULL,UpdateDateTime		DATETIME DEFAULT NULL );
CREATE UNIQUE INDEX idx_mlgsavingrate_001 ON t_mlg_saving_rate ( KumiID, MlgKodanID );

-- [table t_mlg_toll]
CREATE TABLE t_mlg_toll (MlgTollID			autoincrement(1,1) PRIMARY KEY,MlgKodanID			INTEGER NOT NULL,MlgCardID			INTEGER NOT NULL,MlgCardNo			VARCHAR(016) NOT NULL,SeikyuMonth		VARCHAR(006) NOT NULL,TsukoDateTime		DATETIME,SyasyuCode			VARCHAR(002),SyaryoNo			VARCHAR(004),InnGateName		VARCHAR(020),OutGateName		VARCHAR(020),RiyouKingaku		INTEGER DEFAULT 0,KangenKingaku		INTEGER DEFAULT 0,KonoKingaku		INTEGER DEFAULT 0,WaribikiKubun		VARCHAR(050) );
CREATE INDEX idx_mlgtoll_001 ON t_mlg_toll ( SeikyuMonth );
CREATE INDEX idx_mlgtoll_002 ON t_mlg_toll ( MlgKodanID );
CREATE INDEX idx_mlgtoll_003 ON t_mlg_toll ( MlgCardID );
CREATE INDEX idx_mlgtoll_004 ON t_mlg_toll ( MlgCardNo );

-- [table t_mlg_card_total]
CREATE TABLE t_mlg_card_total (MlgCardTotalID		autoincrement(1,1) PRIMARY KEY,SeikyuMonth		VARCHAR(006) NOT NULL,MlgKodanID			INTEGER NOT NULL,MlgKodanCode		VARCHAR(002),MlgCardID			INTEGER NOT NULL,MlgCardNo			VARCHAR(016) NOT NULL,RiyouKingaku		INTEGER DEFAULT 0,KangenKingaku		INTEGER DEFAULT 0,KonoKingaku		INTEGER DEFAULT 0,PlusKingaku		INTEGER DEFAULT 0,CreateDateTime		DATETIME NOT NULL,UpdateDateTime		DATETIME DEFAULT NULL );
CREATE INDEX idx_mlgcardtotal_001 ON t_mlg_card_total ( SeikyuMonth );
CREATE INDEX idx_mlgcardtotal_002 ON t_mlg_card_total ( MlgKodanID );
CREATE INDEX idx_mlgcardtotal_003 ON t_mlg_card_total ( MlgCardID );
CREATE INDEX idx_mlgcardtotal_004 ON t_mlg_card_total ( MlgCardNo );

-- [table t_mlg_card_seikyu]
CREATE TABLE t_mlg_card_seikyu (MlgCardSeikyuID	autoincrement(1,1) PRIMARY KEY,MlgCardID			INTEGER NOT NULL,SeikyuMonth		VARCHAR(006) NOT NULL,MlgKodanID			INTEGER NOT NULL,RiyouKingaku		INTEGER NOT NULL,AsayuKingaku		INTEGER NOT NULL DEFAULT 0,MlgKangenKingaku	INTEGER NOT NULL DEFAULT 0,TaisyoKingaku		INTEGER NOT NULL DEFAULT 0,MlgFee				INTEGER NOT NULL DEFAULT 0,MlgDiscount		INTEGER NOT NULL DEFAULT 0,SeikyuKingaku		INTEGER NOT NULL DEFAULT 0,CreateDateTime		DATETIME NOT NULL,UpdateDateTime		DATETIME DEFAULT NULL );
CREATE INDEX idx_mlgcardseikyu_001 ON t_mlg_card_seikyu (MlgCardID);
CREATE INDEX idx_mlgcardseikyu_002 ON t_mlg_card_seikyu (SeikyuMonth);
CREATE INDEX idx_mlgcardseikyu_003 ON t_mlg_card_seikyu (MlgKodanID);
CREATE UNIQUE INDEX unq_mlgcardseikyu_001 ON t_mlg_card_seikyu (MlgCardID, SeikyuMonth, MlgKodanID);

-- [table t_mlg_sofu_seikyu]
CREATE TABLE t_mlg_sofu_seikyu (MlgSofuSeikyuID	autoincrement(1,1) PRIMARY KEY,SofuID				INTEGER NOT NULL,SeikyuMonth		VARCHAR(006) NOT NULL,MlgKodanID			INTEGER NOT NULL,RiyouKingaku		INTEGER NOT NULL,AsayuKingaku		INTEGER NOT NULL,MlgKangenKingaku	INTEGER NOT NULL,TaisyoKingaku		INTEGER NOT NULL,MlgFee				INTEGER NOT NULL DEFAULT 0,MlgDiscount		INTEGER NOT NULL DEFAULT 0,SeikyuKingaku		INTEGER NOT NULL DEFAULT 0,CreateDateTime		DATETIME NOT NULL,UpdateDateTime		DATETIME DEFAULT NULL );
CREATE INDEX idx_mlgsofuseikyu_001 ON t_mlg_sofu_seikyu (SofuID);
ALTER TABLE t_mlg_sofu_seikyu ADD CONSTRAINT fk_mlgsofuseikyu_001 FOREIGN KEY (SofuID) REFERENCES t_sofu (SofuID);
CREATE INDEX idx_mlgsofuseikyu_002 ON t_mlg_sofu_seikyu (SeikyuMonth);
CREATE INDEX idx_mlgsofuseikyu_003 ON t_mlg_sofu_seikyu (MlgKodanID);
CREATE UNIQUE INDEX unq_mlgsofuseikyu_001 ON t_mlg_sofu_seikyu (SofuID, SeikyuMonth, MlgKodanID);

-- [table t_mlg_sofu_saving]
CREATE TABLE t_mlg_sofu_saving (MlgSofuSavingID		autoincrement(1,1) PRIMARY KEY,SofuID					INTEGER NOT NULL,SeikyuMonth			VARCHAR(006) NOT NULL,LastMonthKingaku		INTEGER NOT NULL DEFAULT 0,TaisyoKingaku			INTEGER NOT NULL,SavingKingaku			INTEGER NOT NULL DEFAULT 0,SavingHenkin			INTEGER NOT NULL DEFAULT 0,TotalSavingKingaku		INTEGER NOT NULL DEFAULT 0,SavingHenkinReason		VARCHAR(255),CreateDateTime			DATETIME NOT NULL,UpdateDateTime			DATETIME DEFAULT NULL );
CREATE INDEX idx_mlgsofusaving_001 ON t_mlg_sofu_saving (SofuID);
CREATE INDEX idx_mlgsofusaving_002 ON t_mlg_sofu_saving (SeikyuMonth);
CREATE UNIQUE INDEX unq_mlgsofusaving_001 ON t_mlg_sofu_saving (SofuID, SeikyuMonth);

-- [table t_mlg_own_card_seikyu]
CREATE TABLE t_mlg_own_card_seikyu (MlgOwnCardSeikyuID	autoincrement(1,1) PRIMARY KEY,MlgCardID			INTEGER NOT NULL,SeikyuMonth		VARCHAR(006) NOT NULL,MlgKodanID			INTEGER NOT NULL,AsayuKingaku		INTEGER NOT NULL,TaisyoKingaku		INTEGER NOT NULL,CreateDateTime		DATETIME NOT NULL,UpdateDateTime		DATETIME DEFAULT NULL );
CREATE INDEX idx_mlgownuscrdsky_001 ON t_mlg_own_card_seikyu (MlgCardID);
CREATE INDEX idx_mlgownuscrdsky_002 ON t_mlg_own_card_seikyu (SeikyuMonth);
CREATE INDEX idx_mlgownuscrdsky_003 ON t_mlg_own_card_seikyu (MlgKodanID);
CREATE UNIQUE INDEX unq_mlgownuscrdsky_001 ON t_mlg_own_card_seikyu (MlgCardID, SeikyuMonth, MlgKodanID);

-- [table t_cover_uchiwake]
CREATE TABLE t_cover_uchiwake (CoverUchiwakeID		autoincrement(1, 1) PRIMARY KEY, SofuID					INTEGER NOT NULL,SeikyuMonth			VARCHAR(006) NOT NULL,PrintTypeID			INTEGER NOT NULL,CoverUchiwakeName		VARCHAR(096) NOT NULL,RiyouKingaku			INTEGER NOT NULL DEFAULT 0,AsayuKingaku			INTEGER NOT NULL DEFAULT 0,MlgKangenKingaku		INTEGER NOT NULL DEFAULT 0,TaisyoKingaku			INTEGER NOT NULL DEFAULT 0,SyaryoTani				INTEGER NOT NULL DEFAULT 0,KeiyakusyaTani			INTEGER NOT NULL DEFAULT 0,SeikyuDiscount			INTEGER NOT NULL DEFAULT 0,SeikyuFee				INTEGER NOT NULL DEFAULT 0,SeikyuOther			INTEGER NOT NULL DEFAULT 0,SeikyuKingaku			INTEGER NOT NULL DEFAULT 0,SeikyuBikou			VARCHAR(096) NOT NULL,CreateDateTime			DATETIME NOT NULL,UpdateDateTime			DATETIME DEFAULT NULL );
CREATE INDEX idx_coveruchiwake_001 ON t_cover_uchiwake (SofuID);
CREATE INDEX idx_coveruchiwake_002 ON t_cover_uchiwake (SeikyuMonth);
CREATE INDEX idx_coveruchiwake_003 ON t_cover_uchiwake (PrintTypeID);

-- [stamp]
INSERT INTO t_db_ver (DBVerID,DBVerCode,DBPatchDate,UpdateDateTime ) VALUES (26,1.26,#2020/05/24#,now() );
CREATE TABLE t_db_ver_comment (DBVerCommentID		autoincrement(1, 1) PRIMARY KEY,DBVerID			INTEGER NOT NULL CONSTRAINT FK_VERCOMMENT_DBVERID REFERENCES t_db_ver (DBVerID),DBVerComment		VARCHAR(255),UpdateDateTime		DATETIME );
INSERT INTO t_db_ver_comment (DBVerID,DBVerComment,UpdateDateTime ) VALUES (26,'１．マイレージデータ追加',now() );
